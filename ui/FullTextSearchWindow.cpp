#include "ui/FullTextSearchWindow.h"
#include "ui/Gui.h"
#include "ui/ResultListView.h"
#include "ui/SearchWindowsText.h"

#include <cstdio>

namespace {
const char* const kMagnifierIcon = "\xef\x80\x82"; // U+F002

// 5 pixels high; an invisible bar keeps the layout steady while nothing is being searched.
void DrawSearchProgress(bool visible, double progress, float width)
{
    const ImVec2 size(width, 5);
    if (visible) {
        KeepDrawingSlowly();
        ImGui::ProgressBar(static_cast<float>(progress), size, "");
        return;
    }
    ImGui::PushStyleColor(ImGuiCol_PlotHistogram, ImVec4(0, 0, 0, 0));
    ImGui::PushStyleColor(ImGuiCol_FrameBg, ImVec4(0, 0, 0, 0));
    ImGui::ProgressBar(1.0f, size, "");
    ImGui::PopStyleColor(2);
}
} // namespace

// Any edit starts a new search, so the old selection must not point into the new hits.
int FullTextSearchWindow::ResetSelectionOnEdit(ImGuiInputTextCallbackData* data)
{
    auto& window = *static_cast<FullTextSearchWindow*>(data->UserData);
    window.selected = -1;
    window.hitLimit = kFullTextHitsPerPage;
    return 0;
}

void FullTextSearchWindow::Draw(Gui& gui)
{
    if (!shown)
        return;
    ImGuiStorage* storage = ImGui::GetStateStorage();
    const ImGuiID selectionKey = ImGui::GetID("Full-Text Search");
    selected = gui.StoredSelection(selectionKey);

    const float font = ImGui::GetFontSize();
    SecondaryWindowLook look{"Full-Text Search", "Full-Text Search", ImVec2(42 * font, 35 * font),
                             ImVec2(42 * font, 35 * font)};
    look.besideMiddle = true;
    look.focus = focus;
    look.flags = ImGuiWindowFlags_NoScrollbar;
    const bool visible = gui.BeginSecondaryWindow(look, &shown);
    // A close on a collapsed window counts too; otherwise the click would be lost.
    if (!visible || !shown) {
        gui.EndSecondaryWindow();
        return;
    }
    const ImGuiStyle& style = ImGui::GetStyle();
    bool selectionChanged = false;

    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(kMagnifierIcon);
    ImGui::SameLine();
    ImGui::PushItemWidth(ImGui::GetContentRegionAvail().x -
                         (ImGui::CalcTextSize("Cc").x + 2 * style.FramePadding.x));
    if (ImGui::IsWindowAppearing() || focus)
        ImGui::SetKeyboardFocusHere();
    focus = false;
    ImGui::InputText("##SearchText", searchText, sizeof searchText, ImGuiInputTextFlags_CallbackEdit,
                     ResetSelectionOnEdit, this);
    ImGui::PopItemWidth();
    if (gui.ActionButton(true, "Cc", "Match case", matchCase ? 3 : 1)) {
        matchCase = !matchCase;
        hitLimit = kFullTextHitsPerPage;
        selectionChanged = true;
    }

    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const float height =
        avail.y - (font + style.WindowPadding.y + 2 * style.FramePadding.y) - 5 - style.ItemSpacing.y;
    const float listHeight = height * 0.33333334f;

    const bool textEmpty = searchText[0] == '\0';
    const Result<std::vector<Ref>> result =
        gui.state->FullTextSearch(std::string(searchText), matchCase, hitLimit);
    const bool hasList =
        (result.status == ResultStatus::Partial || result.status == ResultStatus::Done) && result.value;

    if (ImGui::BeginListBox("##Results", ImVec2(avail.x, listHeight))) {
        if (hasList) {
            if (!result.value->empty() && selected == -1) {
                selected = 0;
                std::fputs("trigger\n", stdout);
                std::fflush(stdout);
                selectionChanged = true;
            }
            selectionChanged |= DrawHitRows(
                *result.value, selected,
                [&gui](size_t index) { return gui.state->FullTextHitContext(index); }, gui.mutedColor,
                gui.highlightColor, gui.state->GetWorkspace().get());
            // The limit was reached: there may be more.
            if (result.status == ResultStatus::Done && result.value->size() >= hitLimit &&
                ImGui::Button("Show more"))
                hitLimit = result.value->size() + kFullTextHitsPerPage;
        }
        ImGui::EndListBox();
    }
    storage->SetInt(selectionKey, selected);

    const Ref* chosen = RefAt(result, selected);
    DrawResultPreview(gui, chosen, selected, selectionChanged, ImVec2(avail.x, height - listHeight));

    DrawSearchProgress(SearchProgressVisible(textEmpty, result.status), result.progress, avail.x);

    ImGui::AlignTextToFramePadding();
    const SearchStatusLine status =
        SearchStatus(textEmpty, result.status, hasList ? result.value->size() : 0, hitLimit);
    if (status.spinner) {
        PendingSpinner();
        ImGui::SameLine();
    }
    ImGui::TextUnformatted(status.text.c_str());

    // With no hit there is nothing to open or show; Enter shows the selected hit in the main window.
    ResultButtonPresses presses = DrawResultButtons(
        result.status == ResultStatus::Done && hasList && !result.value->empty(), gui.mutedColor);
    presses.showInMain |= chosen && ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) &&
                          ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false);
    ApplyResultButtons(gui, presses, chosen);
    gui.EndSecondaryWindow();
}
