#pragma once

#include "model/TreeItem.h"

#include <string>
#include <vector>

class Gui;
struct TreeFilterMatches;

// The tree of the main window: what it is to open down to next, and what its rows tell the
// shortcuts.
class MainTree
{
public:
    std::vector<TreeItem> navigationTarget; // opened down to when the tree is next drawn
    bool focus = false;                     // put the keyboard focus into the tree
    // The named element row under the mouse or the keyboard focus, in this tree or an element
    // window's, this frame.
    std::string hoveredElementPath;

    // The tree of the document or workspace shown, limited to `filter` unless null.
    void Draw(Gui& gui, const TreeFilterMatches* filter);
};
