#include "ui/BrokenRefRows.h"

#include <algorithm>
#include <cstring>

bool IsDefinitionRef(const BrokenRef& broken)
{
    pugi::xml_node holder = broken.firstReferrer->node;
    if (holder.type() == pugi::node_pcdata || holder.type() == pugi::node_cdata)
        holder = holder.parent();
    return std::strcmp(holder.name(), "DEFINITION-REF") == 0;
}

std::vector<int> BrokenRefRows(const std::vector<BrokenRef>& list, const BrokenRefView& view)
{
    std::vector<int> rows;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].text.find(view.filter) != std::string::npos &&
            !(view.hideDefinitions && IsDefinitionRef(list[i])))
            rows.push_back(static_cast<int>(i));
    }
    auto before = [&](int a, int b) {
        const BrokenRef& x = list[a];
        const BrokenRef& y = list[b];
        switch (view.sortColumn) {
            case 0:
                return x.text < y.text;
            case 1:
                return x.count < y.count;
            case 2:
                return x.reason < y.reason;
            case 3:
                return x.firstReferrer->path < y.firstReferrer->path;
            default:
                return false;
        }
    };
    if (view.sortColumn >= 0) {
        std::stable_sort(rows.begin(), rows.end(),
                         [&](int a, int b) { return view.descending ? before(b, a) : before(a, b); });
    }
    return rows;
}
