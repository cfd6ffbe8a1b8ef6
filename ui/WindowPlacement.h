#pragma once

#include <imgui.h>

// Where a result window opens inside the main window's `area` so that it leaves the middle free:
// a revealed row is scrolled to the middle, its start at the left edge. In order of preference:
// right of the middle, below the middle row, above it; where none of them has room, against the
// right edge, which hides the least of the row's start. `band` is half the height kept free around
// the middle; `stagger` moves each further window a little, so that windows opened one after the
// other do not hide each other.
ImVec2 BesideMiddle(ImVec2 areaMin, ImVec2 areaMax, ImVec2 size, float band, float stagger);

// Places the next window of `size` that way within the main viewport, as `condition` says.
void PlaceNextWindowBesideMiddle(ImVec2 size, ImGuiCond condition, int windowsOpen);
