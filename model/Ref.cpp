#include "model/Ref.h"

#include "model/NodeText.h"

#include <algorithm>

Ref::Ref(pugi::xml_node node)
{
    auto made = std::make_shared<Internal>();
    made->node = node;

    // Walk up once, collecting the short names innermost first, then join them outermost first.
    std::vector<const char*> names;
    bool reachedDocument = false;
    for (pugi::xml_node cur = node; cur; cur = cur.parent()) {
        made->trail.emplace_back(cur);
        if (pugi::xml_node shortName = ShortNameChild(cur)) {
            names.push_back(shortName.text().get());
            if (!made->element)
                made->element = cur;
        } else if (!cur.parent() && !made->element) {
            made->element = cur;
        }
        if (!cur.parent())
            reachedDocument = true;
    }
    std::reverse(made->trail.begin(), made->trail.end());

    // Bottom-up the path grows as "name/" in front, with a "/" in front at the document node;
    // the trailing "/" is then dropped. The leading "/" is added even when the document node
    // itself counts as named (a root element called SHORT-NAME), so that the path always equals
    // the one the index build gives the same node.
    std::string& path = made->path;
    if (reachedDocument)
        path.push_back('/');
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += *it;
        path += '/';
    }
    if (path.size() > 1)
        path.pop_back();
    internal = std::move(made);
}
