#include "ui/RefsWindows.h"
#include "ui/Gui.h"
#include "ui/ResultListView.h"
#include "ui/SearchWindowsText.h"

#include <algorithm>

namespace {

// One refs-to window; false when it was closed.
bool DrawRefsWindow(Gui& gui, const WindowEntry& entry)
{
    // The selection lives in the caller's storage under its ID scope, so each entry keeps its own.
    ImGuiStorage* storage = ImGui::GetStateStorage();
    const ImGuiID selectionKey = ImGui::GetID(entry.Name().c_str());
    int selected = gui.StoredSelection(selectionKey);

    const Result<std::vector<Ref>> result = gui.state->FindRefsTo(entry.path);

    const float font = ImGui::GetFontSize();
    const ImGuiStyle& style = ImGui::GetStyle();
    // Beside the list and the preview: title bar, paddings and the line of buttons.
    const float chrome =
        2 * (font + 2 * style.FramePadding.y) + 3 * style.WindowPadding.y + style.ItemSpacing.y;
    const float mainHeight = ImGui::GetMainViewport()->Size.y;
    const float openHeight = std::max(35 * font, std::min(ResultWindowHeight(chrome), mainHeight));
    const std::string title = entry.Name("Refs to ");
    SecondaryWindowLook look{title.c_str(), "Refs to", ImVec2(42 * font, openHeight),
                             ImVec2(42 * font, 35 * font)};
    look.besideMiddle = true;
    look.stagger = std::stoi(entry.windowId);
    look.flags = ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoSavedSettings;
    bool open = true;
    const bool visible = gui.BeginSecondaryWindow(look, &open);
    // A close on a collapsed window counts too; otherwise the click would be lost.
    if (!visible || !open) {
        gui.EndSecondaryWindow();
        return open;
    }

    ImGui::AlignTextToFramePadding();
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const float height =
        avail.y - (font + style.WindowPadding.y + 2 * style.FramePadding.y) - style.ItemSpacing.y;
    const float listHeight = ResultListHeight(height);

    const bool done = result.status == ResultStatus::Done && result.value;
    bool selectionChanged = false;
    if (ImGui::BeginListBox("##Results", ImVec2(avail.x, listHeight))) {
        if (done) {
            if (selected == -1) {
                selected = 0;
                selectionChanged = true;
            }
            selectionChanged |= DrawResultRows(*result.value, selected, gui.state->GetWorkspace().get());
        }
        ImGui::EndListBox();
    }
    storage->SetInt(selectionKey, selected);

    const Ref* chosen = done ? RefAt(result, selected) : nullptr;
    DrawResultPreview(gui, chosen, selected, selectionChanged, ImVec2(avail.x, height - listHeight));

    ImGui::AlignTextToFramePadding();
    if (done)
        ImGui::TextUnformatted(ReferrerCount(result.value->size()).c_str());
    else if (result.status == ResultStatus::Pending)
        PendingSpinner();
    else
        ImGui::NewLine();
    ApplyResultButtons(gui, DrawResultButtons(done, gui.mutedColor), chosen);
    gui.EndSecondaryWindow();
    return true;
}

} // namespace

void RefsWindows::Draw(Gui& gui)
{
    int n = 1;
    for (auto it = entries.begin(); it != entries.end(); ++n) {
        ImGui::PushID(n);
        bool keep = DrawRefsWindow(gui, *it);
        ImGui::PopID();
        it = keep ? std::next(it) : entries.erase(it);
    }
}
