#pragma once

#include <imgui.h>

#include <string>

// Gives each secondary window (element windows, result windows, dialogs, About) a window of the
// desktop of its own, with a GUI library context of its own; the interface's state stays one. The
// shell provides it where the platform can; without one, secondary windows are drawn inside the
// main window.
class WindowHost
{
public:
    struct Request
    {
        std::string name;     // the GUI library's window name, unique among the open windows
        std::string title;    // what the desktop shows in the title bar
        std::string placeKey; // windows under one key open where the last of them was left
        ImVec2 offset;        // where to open, from the main window's top left corner
        ImVec2 size;          // size to open with; kept by windows that cannot be resized
        ImVec2 minSize;
        bool resizable = true;
        bool focus = false; // bring the window to the front and give it the keyboard
    };

    virtual ~WindowHost() = default;

    // Makes the window's context current (opening the window the first time it is asked for) and
    // starts its frame. False once the user closed the window through the desktop, or when it
    // could not be opened (the main window's context then stays current).
    virtual bool Begin(const Request& request) = 0;

    // Draws the window's frame and goes back to the main window's context.
    virtual void End() = 0;
};
