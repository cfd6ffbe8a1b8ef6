#include "model/NodeText.h"

#include <cstring>

pugi::xml_node ShortNameChild(pugi::xml_node node)
{
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && IsShortNameTag(child.name()))
            return child;
    }
    return {};
}

pugi::xml_node ShortNameMemo::Find(pugi::xml_node node)
{
    pugi::xml_node child = node.first_child();
    while (child && child.type() != pugi::node_element)
        child = child.next_sibling();
    if (!child)
        return {};
    if (IsShortNameTag(child.name()))
        return child;
    if (!child.next_sibling())
        return {};
    auto [it, inserted] = scanned.try_emplace(node.internal_object());
    if (inserted)
        it->second = ShortNameChild(node);
    return it->second;
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
