#pragma once

#include <pugixml.hpp>

#include <cstdint>

// Two ways to read the fields of a parsed node, for walks over every node of a large document.
// pugixml's accessors are calls into the library, which cannot be inlined and cost a call per
// field on tens of millions of nodes; `DirectNodeReader` reads the fields where the parser put
// them. Use it only when `DirectNodeReaderFits()` says its picture of a node matches the linked
// library; `LibraryNodeReader` always works.
using NodeHandle = pugi::xml_node_struct*; // null for no node

struct LibraryNodeReader
{
    static pugi::xml_node_type Type(NodeHandle node) { return pugi::xml_node(node).type(); }
    static const char* Name(NodeHandle node) { return pugi::xml_node(node).name(); }
    static const char* Value(NodeHandle node) { return pugi::xml_node(node).value(); }
    static NodeHandle FirstChild(NodeHandle node)
    {
        return pugi::xml_node(node).first_child().internal_object();
    }
    static NodeHandle NextSibling(NodeHandle node)
    {
        return pugi::xml_node(node).next_sibling().internal_object();
    }
    static bool HasAttributes(NodeHandle node) { return bool(pugi::xml_node(node).first_attribute()); }
};

struct DirectNodeReader
{
    // pugixml's own node record in its default (non-compact) layout.
    struct Fields
    {
        uintptr_t header; // the node type in the low bits
        char* name;
        char* value;
        NodeHandle parent;
        NodeHandle firstChild;
        NodeHandle previousSiblingCyclic;
        NodeHandle nextSibling;
        void* firstAttribute;
    };

    static const Fields& Of(NodeHandle node) { return *reinterpret_cast<const Fields*>(node); }
    static pugi::xml_node_type Type(NodeHandle node) { return pugi::xml_node_type(Of(node).header & 15); }
    static const char* Name(NodeHandle node) { return Of(node).name ? Of(node).name : ""; }
    static const char* Value(NodeHandle node) { return Of(node).value ? Of(node).value : ""; }
    static NodeHandle FirstChild(NodeHandle node) { return Of(node).firstChild; }
    static NodeHandle NextSibling(NodeHandle node) { return Of(node).nextSibling; }
    static bool HasAttributes(NodeHandle node) { return Of(node).firstAttribute != nullptr; }
};

// Whether DirectNodeReader reads what pugixml's accessors answer, checked once per process on a
// small document with every kind of node the walks meet.
bool DirectNodeReaderFits();
