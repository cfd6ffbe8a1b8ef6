#pragma once

#include "app/Shell.h"
#include "settings/Settings.h"

#include <imgui.h>

#include <cstddef>
#include <map>
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
