#include "model/Trail.h"

#include <algorithm>

const std::vector<TreeItem>& Trail::Items() const
{
    std::call_once(walked, [this] {
        for (pugi::xml_node cur = node; cur; cur = cur.parent())
            items.emplace_back(cur);
        std::reverse(items.begin(), items.end());
    });
    return items;
}
