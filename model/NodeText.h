#pragma once

#include <pugixml.hpp>

#include <string>

// The first direct child element named exactly "SHORT-NAME", or a null node.
pugi::xml_node ShortNameChild(pugi::xml_node node);

// Text of a node: an element's first character-data or CDATA child, a text node's own value,
// the empty string for every other kind of node. Taken as parsed, never trimmed.
const char* NodeText(pugi::xml_node node);

// A reference text is a non-empty text whose first byte is '/'.
inline bool IsReferenceText(const char* text) { return text[0] == '/'; }
