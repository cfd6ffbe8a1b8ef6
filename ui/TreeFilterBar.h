#pragma once

#include "query/TreeFilter.h"

#include <memory>

class Gui;
class Reaper;

// The filter field above the main tree with its toggles and count. Its text stays for the whole
// process; a new document starts unfiltered.
class TreeFilterBar
{
public:
    bool focus = false;       // put the keyboard focus into the field
    TreeFilterQuery query;    // what the field and its toggles ask for
    bool changedOnly = false; // the tree shows only the rows a comparison marks (that the text matches)
    std::shared_ptr<TreeFilterMatches> shown; // the last complete answer, drawn until the next
    TreeFilterQuery shownQuery;

    // Draws the bar; the matches the tree is to show, or null for the whole tree.
    const TreeFilterMatches* Draw(Gui& gui);
    // Empties the field: the whole tree shows again.
    void Clear(Reaper& reaper);
    // Lets go of the answer shown (it may be large: freed off this thread).
    void DropShown(Reaper& reaper);

private:
    char input[1024] = "";
    bool cleared = false; // emptied outside the field since it was last drawn
    // A field being edited would write its own copy of the cleared text back: a cleared filter is
    // a new field.
    int generation = 0;
};
