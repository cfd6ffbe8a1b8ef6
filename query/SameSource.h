#pragma once

#include <pugixml.hpp>

#include <string_view>

// Whether two elements were written alike, byte for byte, from their start tag to where the next
// node after them begins: then everything below them is alike as well, and need not be walked.
// `textA` and `textB` are the texts their documents were parsed in (ParsedTextOf); false when
// either is empty or an element's text does not lie in it.
bool SameSource(pugi::xml_node a, std::string_view textA, pugi::xml_node b, std::string_view textB);
