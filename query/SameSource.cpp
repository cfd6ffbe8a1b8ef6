#include "query/SameSource.h"

#include <cstdint>
#include <cstring>

namespace {
// Where a node's own text begins, as the parser points into it.
const char* StartOf(pugi::xml_node node)
{
    switch (node.type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata:
        case pugi::node_comment:
        case pugi::node_doctype:
            return node.value();
        default:
            return node.name();
    }
}

// The text of `element` and all below it, up to the next node in document order or the end of the
// text; empty when it does not lie in `text`.
std::string_view SourceOf(pugi::xml_node element, std::string_view text)
{
    const auto begin = uintptr_t(element.name());
    auto end = uintptr_t(text.data() + text.size());
    for (pugi::xml_node node = element; node && node.type() != pugi::node_document; node = node.parent()) {
        if (pugi::xml_node next = node.next_sibling()) {
            end = uintptr_t(StartOf(next));
            break;
        }
    }
    // Names and values the parser did not find in the text (an empty one) lie elsewhere.
    const auto first = uintptr_t(text.data());
    if (text.empty() || begin < first || end > first + text.size() || begin >= end)
        return {};
    return {element.name(), end - begin};
}
} // namespace

bool SameSource(pugi::xml_node a, std::string_view textA, pugi::xml_node b, std::string_view textB)
{
    const std::string_view sourceA = SourceOf(a, textA);
    const std::string_view sourceB = SourceOf(b, textB);
    return !sourceA.empty() && sourceA.size() == sourceB.size() &&
           std::memcmp(sourceA.data(), sourceB.data(), sourceA.size()) == 0;
}
