#include "model/Ref.h"

#include "model/ElementChain.h"
#include "model/NodeText.h"

#include <cstring>

namespace {
struct PlainLookup
{
    pugi::xml_node Find(pugi::xml_node node) { return ShortNameChild(node); }
};
} // namespace

Ref::Ref(pugi::xml_node node)
{
    PlainLookup plain;
    Build(node, plain);
}

Ref::Ref(pugi::xml_node node, ShortNameMemo& names)
{
    Build(node, names);
}

Ref::Ref(pugi::xml_node namedNode, std::string knownPath)
{
    auto made = std::make_shared<Internal>(namedNode);
    made->path = std::move(knownPath);
    made->element = namedNode;
    internal = std::move(made);
}

template <class Names> void Ref::Build(pugi::xml_node node, Names& names)
{
    auto made = std::make_shared<Internal>(node);

    // Walk up once, collecting the short names innermost first, then join them outermost first.
    std::vector<std::string_view> segments;
    segments.reserve(32);
    bool reachedDocument = false;
    size_t length = 0;
    for (pugi::xml_node cur = node; cur; cur = cur.parent()) {
        if (pugi::xml_node shortName = names.Find(cur)) {
            segments.emplace_back(shortName.text().get());
            length += segments.back().size() + 1;
            if (!made->element)
                made->element = cur;
        } else if (!cur.parent() && !made->element) {
            made->element = cur;
        }
        if (!cur.parent())
            reachedDocument = true;
    }

    // Spelled from the top down as the index build spells the same node's path, even when the
    // document node itself counts as named (a root element called SHORT-NAME). A node cut off from
    // any document has no leading "/"; the document's own path is "/".
    std::string& path = made->path;
    path.reserve(length + 1);
    for (auto it = segments.rbegin(); it != segments.rend(); ++it)
        AppendPathStep(path, *it);
    if (!reachedDocument)
        path.erase(0, path.empty() ? 0 : 1);
    else if (path.empty())
        path = "/";
    internal = std::move(made);
}
