#include "ui/NavigationHistory.h"

void NavigationHistory::Record(RevealEntry entry)
{
    if (!entries.empty()) {
        const RevealEntry& shown = entries[current];
        if (shown.path == entry.path && shown.trail == entry.trail)
            return;
        entries.resize(current + 1);
    }
    entries.push_back(std::move(entry));
    if (entries.size() > kMaxEntries)
        entries.erase(entries.begin());
    current = entries.size() - 1;
}

const RevealEntry* NavigationHistory::Back()
{
    if (!CanGoBack())
        return nullptr;
    return &entries[--current];
}

const RevealEntry* NavigationHistory::Forward()
{
    if (!CanGoForward())
        return nullptr;
    return &entries[++current];
}
