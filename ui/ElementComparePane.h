#pragma once

#include <pugixml.hpp>

#include <string>

class Gui;

// An element window's content while a comparison is shown: the element at `path` (`node` in the
// open version) beside its counterpart in the other version, each with the rows of its changed
// values in the colour of their change. False, with nothing drawn, when there is no comparison.
bool DrawElementComparePane(Gui& gui, const std::string& path, pugi::xml_node node);
