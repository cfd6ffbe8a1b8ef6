#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

// What must be true of a parsed document, worked out top-down in one plain walk, independently of
// the index build, the path lookups and Ref, so that the fuzz targets can hold those against it.
struct DocumentFacts
{
    struct Node
    {
        std::string path;       // element path of the node's nearest named node, "/" when there is none
        pugi::xml_node element; // that named node, or the document node
        size_t depth = 0;       // 0 for the document node
    };
    struct Named
    {
        std::string key;
        pugi::xml_node node;    // first in document order
        bool canonical = false; // every segment non-empty and free of "/"
    };

    std::vector<pugi::xml_node> order;           // every node, document order
    std::unordered_map<const void*, Node> nodes; // by pugi internal object
    std::vector<Named> paths;                    // one per distinct path, document order
    std::vector<Named> shortNames;               // one per distinct short name, document order
    std::map<std::string, std::vector<pugi::xml_node>> referrers; // reference text -> holders, document order
    bool referenceBases = false; // a REFERENCE-BASE is declared: relative references may resolve

    const Node& Of(pugi::xml_node node) const { return nodes.at(node.internal_object()); }
};

DocumentFacts GatherFacts(const pugi::xml_document& document);

// The text that reference detection and search read: an element's first character-data or CDATA
// child, a text node's own value, nothing for other nodes.
const char* TextOf(pugi::xml_node node);

// How many hits a search must list for `node`: one when its text or name holds `query`, plus one
// per attribute whose name or value holds it. Without `matchCase` only ASCII letters fold.
size_t SearchHitsOf(pugi::xml_node node, const std::string& query, bool matchCase);
