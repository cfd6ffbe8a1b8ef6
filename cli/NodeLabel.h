#pragma once

#include <pugixml.hpp>

// The name a row gives its node: the element's tag, or the kind of a text node.
inline const char* NodeLabel(pugi::xml_node node)
{
    switch (node.type()) {
        case pugi::node_pcdata:
            return "PC_DATA";
        case pugi::node_cdata:
            return "CDATA";
        default:
            return node.name();
    }
}
