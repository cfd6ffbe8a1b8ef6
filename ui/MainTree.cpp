#include "ui/MainTree.h"
#include "ui/Gui.h"

void MainTree::Draw(Gui& gui, const TreeFilterMatches* filter)
{
    ImGui::PushID((int)gui.state->id);
    // Rows opened while filtering keep their own state: clearing restores the open rows.
    if (filter)
        ImGui::PushID(filter);
    // Opened down to on this frame only; afterwards the rows open and close as the user clicks.
    std::vector<TreeItem> target = std::move(navigationTarget);
    navigationTarget.clear();
    gui.DrawWorkspaceTree(*gui.state, target, filter);
    if (filter)
        ImGui::PopID();
    ImGui::PopID();
}
