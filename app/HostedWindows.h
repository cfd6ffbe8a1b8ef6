#pragma once

#include "app/Shell.h"
#include "settings/Settings.h"

#include <imgui.h>

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

// What the desktop's secondary windows do alike on every platform; the platform's window host
// (GlfwWindows, Win32Windows) does the rest.

// What a frame of a window shows: its draw lists and its size. Equal hashes, equal pictures, so a
// window whose hash did not change need not be drawn and presented again.
size_t PictureHash(const ImDrawData& data, int width, int height);

// A GUI library context for a secondary window, sharing the current context's font atlas and
// configured as the main one, except that the main one alone keeps the layout file. It is made
// current.
ImGuiContext* CreateSecondaryContext();

// The current context's style: the main window's, sized for a monitor of `scale` where the main
// window's was made for `mainScale`.
void StyleForScale(const ImGuiStyle& mainStyle, float mainScale, float scale);

// Where a window of kind `placeKey` opens: where the last of its kind was left, a step down and
// right for each one of the kind still open, when a monitor still shows that place; else `fresh`.
// A window that cannot be resized keeps the size of `fresh`.
WindowGeometry OpeningPlace(const WindowGeometry& fresh, const std::map<std::string, WindowPlace>& places,
                            const std::string& placeKey, bool resizable, int sameKindOpen,
                            const std::vector<WorkArea>& areas);

// The secondary windows a host has open. `Window` has a `name`, a `placeKey` and a `drawn` flag,
// set when a frame asks for the window.
template <class Window> class OpenWindows
{
public:
    Window* Find(const std::string& name) const
    {
        for (auto& window : windows) {
            if (window->name == name)
                return window.get();
        }
        return nullptr;
    }

    int CountOfKind(const std::string& placeKey) const
    {
        int count = 0;
        for (auto& window : windows)
            count += window->placeKey == placeKey;
        return count;
    }

    Window& Add(std::unique_ptr<Window> window)
    {
        windows.push_back(std::move(window));
        return *windows.back();
    }

    // After a frame: closes with `close` and forgets the windows the frame did not draw, or that
    // `closed` says the user closed.
    template <class Closed, class Close> void Sweep(Closed closed, Close close)
    {
        for (auto it = windows.begin(); it != windows.end();) {
            Window& window = **it;
            const bool keep = window.drawn && !closed(window);
            window.drawn = false;
            if (keep) {
                ++it;
                continue;
            }
            close(window);
            it = windows.erase(it);
        }
    }

    template <class Close> void CloseAll(Close close)
    {
        for (auto& window : windows)
            close(*window);
        windows.clear();
    }

    auto begin() const { return windows.begin(); }
    auto end() const { return windows.end(); }

private:
    std::vector<std::unique_ptr<Window>> windows;
};
