#pragma once

#include "ui/ElementXmlPanes.h"
#include "ui/NavigationRequests.h"

#include <list>

class Gui;

// The element windows: each shows the tree of one element, or its XML, until closed.
class ElementWindows
{
public:
    std::list<WindowEntry> entries; // in the order they were opened

    // Draws every open window; a window closed by the user is dropped.
    void Draw(Gui& gui);

private:
    ElementXmlPanes xmlPanes; // "View XML" of each window
};
