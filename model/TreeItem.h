#pragma once

#include <pugixml.hpp>

#include <variant>

// One row of the XML tree: a node (alternative 0) or an attribute (alternative 1).
using TreeItem = std::variant<pugi::xml_node, pugi::xml_attribute>;
