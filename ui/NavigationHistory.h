#pragma once

#include "model/TreeItem.h"

#include <cstddef>
#include <string>
#include <vector>

// One reveal in the main tree: the element path, and the trail as it was in the document shown
// `document`-th (a trail is only valid for that document; the path outlives it, a reload too).
struct RevealEntry
{
    std::string path;
    std::vector<TreeItem> trail;
    int document = 0;
};

// Every reveal, in order, with a current position that Back and Forward move, like a browser's:
// a new reveal after going back drops the entries ahead.
class NavigationHistory
{
public:
    static constexpr size_t kMaxEntries = 200;

    // Records a reveal; the same place twice in a row is kept once.
    void Record(RevealEntry entry);

    // The entry to reveal, or null when there is none in that direction.
    const RevealEntry* Back();
    const RevealEntry* Forward();

    bool CanGoBack() const { return current > 0; }
    bool CanGoForward() const { return current + 1 < entries.size(); }
    size_t Size() const { return entries.size(); }
    // The entry shown last, or null before the first reveal.
    const RevealEntry* Current() const { return entries.empty() ? nullptr : &entries[current]; }

private:
    std::vector<RevealEntry> entries;
    size_t current = 0; // index of the entry shown last; meaningless while entries is empty
};
