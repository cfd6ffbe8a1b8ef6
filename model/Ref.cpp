#include "model/Ref.h"

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

    // Bottom-up the path grows as "name/" in front, with a "/" in front at the document node;
    // the trailing "/" is then dropped. The leading "/" is added even when the document node
    // itself counts as named (a root element called SHORT-NAME), so that the path always equals
    // the one the index build gives the same node.
    std::string& path = made->path;
    path.reserve(length + 1);
    if (reachedDocument)
        path.push_back('/');
    for (auto it = segments.rbegin(); it != segments.rend(); ++it) {
        path += *it;
        path += '/';
    }
    if (path.size() > 1)
        path.pop_back();
    internal = std::move(made);
}
