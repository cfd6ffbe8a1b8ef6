#pragma once

#include <imgui.h>

// How a secondary window opens, for BeginSecondaryWindow.
struct SecondaryWindowLook
{
    const char* name;     // the GUI library's window name: the title, then "##" and an id if need be
    const char* placeKey; // windows of one kind share a remembered place
    ImVec2 size;
    ImVec2 minSize = ImVec2(0, 0);
    bool resizable = true;
    bool besideMiddle = false; // placed beside the middle of the main window, staggered by `stagger`
    int stagger = 0;
    bool focus = false;
    bool raise =
        false; // a window of the desktop of its own is brought forward, as Ctrl+G does to an open dialog
    // With NoSavedSettings the window opens afresh each time it appears; without, only the first time.
    ImGuiWindowFlags flags = 0;
};
