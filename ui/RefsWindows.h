#pragma once

#include "ui/NavigationRequests.h"

#include <list>

class Gui;

// The refs-to windows: each lists the referrers of one element, with a preview, until closed.
class RefsWindows
{
public:
    std::list<WindowEntry> entries; // in the order they were opened

    // Draws every open window; a window closed by the user is dropped.
    void Draw(Gui& gui);
};
