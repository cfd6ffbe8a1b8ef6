#pragma once

#include "model/Ref.h"
#include "ui/Gui.h"

#include <functional>
#include <vector>

// Pieces shared by the windows that list refs (refs-to windows, full-text search): the rows,
// the tree preview of the selected ref and the two buttons under them.

// Rows a result list has room for when its window opens.
inline constexpr int kResultRowsShown = 12;

// Height of the result list in a window whose list and preview share `height`: a third of it, but
// room for kResultRowsShown rows as long as the preview keeps half.
float ResultListHeight(float height);

// Window height at which the list gets kResultRowsShown rows and the preview as much, where
// `chromeHeight` is what the window needs besides the two.
float ResultWindowHeight(float chromeHeight);

// Rows of the open list box, clipped to the visible ones. A click on another row selects it;
// returns true when it did. A row cut at the right edge shows its whole text in a tooltip.
// With a workspace, each row also names the file it is in.
bool DrawResultRows(const std::vector<Ref>& refs, int& selected, const Workspace* workspace = nullptr);

// The same for search hits: after its label each row shows the text around its hit, the match on
// a background of `highlight` and the rest in `muted`; with a workspace, the label names the file.
bool DrawHitRows(const std::vector<Ref>& refs, int& selected,
                 const std::function<HitContext(size_t)>& contextOf, const ImVec4& muted,
                 const ImVec4& highlight, const Workspace* workspace = nullptr);

// Child region with the selected ref's element as a tree, opened down to the ref when asked.
// `ref` may be null (nothing selected): the region stays empty.
void DrawResultPreview(Gui& gui, const Ref* ref, int selected, bool openToRef, ImVec2 size);

struct ResultButtonPresses
{
    bool openWindow = false;
    bool showInMain = false;
};

// "Open in new window" and `revealLabel` on the current line, the second ending at `rightEdge`
// (window coordinates); drawn dimmed and inert unless `enabled`.
ResultButtonPresses DrawResultButtons(bool enabled, const ImVec4& mutedColor,
                                      const char* revealLabel = "Show in main window",
                                      float rightEdge = ImGui::GetWindowContentRegionMax().x);

// Acts on the presses for the selected ref; nothing happens without one.
void ApplyResultButtons(Gui& gui, const ResultButtonPresses& presses, const Ref* selected);
