#pragma once

#include <pugixml.hpp>

#include <cstring>
#include <string>
#include <unordered_map>

// The first direct child element named exactly "SHORT-NAME", or a null node.
pugi::xml_node ShortNameChild(pugi::xml_node node);

// Whether an element's tag is exactly "SHORT-NAME".
inline bool IsShortNameTag(const char* name)
{
    return name[0] == 'S' && name[1] == 'H' && std::strcmp(name + 2, "ORT-NAME") == 0;
}

// ShortNameChild with a memory for nodes whose answer took a scan of their children. Named
// elements carry SHORT-NAME first and are answered at once; containers such as ELEMENTS, with
// thousands of children and no short name, are scanned once and then answered from the memo.
// Not thread-safe: one per thread. Valid only for the document it was used with.
class ShortNameMemo
{
public:
    pugi::xml_node Find(pugi::xml_node node);

private:
    std::unordered_map<const void*, pugi::xml_node> scanned;
};

// Text of a node: an element's first character-data or CDATA child, a text node's own value,
// the empty string for every other kind of node. Taken as parsed, never trimmed.
const char* NodeText(pugi::xml_node node);

// A reference text is a non-empty text whose first byte is '/'.
inline bool IsReferenceText(const char* text)
{
    return text[0] == '/';
}
