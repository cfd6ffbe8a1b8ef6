#include "model/NodeText.h"

#include <cstring>

pugi::xml_node ShortNameChild(pugi::xml_node node)
{
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && std::strcmp(child.name(), "SHORT-NAME") == 0)
            return child;
    }
    return {};
}

const char* NodeText(pugi::xml_node node)
{
    switch (node.type()) {
        case pugi::node_element:
        case pugi::node_pcdata:
        case pugi::node_cdata:
            return node.text().get();
        default:
            return "";
    }
}
