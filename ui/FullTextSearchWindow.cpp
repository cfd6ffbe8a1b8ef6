#include "ui/Gui.h"
#include "ui/ResultListView.h"
#include "ui/SearchWindowsText.h"

#include <cstdio>

namespace {
// Kept for the whole process: closing and reopening the window shows the last query.
char searchText[4096] = "";
bool matchCase = false;
size_t hitLimit = kFullTextHitsPerPage; // raised by "Show more"; back to one page for a new query

const char* const kMagnifierIcon = "\xef\x80\x82"; // U+F002

// Any edit starts a new search, so the old selection must not point into the new hits.
int ResetSelectionOnEdit(ImGuiInputTextCallbackData* data)
{
    *static_cast<int*>(data->UserData) = -1;
    hitLimit = kFullTextHitsPerPage;
    return 0;
}

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

bool Gui::DrawFullTextSearchWindow()
{
    ImGuiStorage* storage = ImGui::GetStateStorage();
    const ImGuiID selectionKey = ImGui::GetID("Full-Text Search");
    int selected = StoredSelection(selectionKey);

    const float font = ImGui::GetFontSize();
    SecondaryWindowLook look{"Full-Text Search", "Full-Text Search", ImVec2(42 * font, 35 * font),
                             ImVec2(42 * font, 35 * font)};
    look.besideMiddle = true;
    look.focus = focusFindText;
    look.flags = ImGuiWindowFlags_NoScrollbar;
    bool open = true;
    const bool visible = BeginSecondaryWindow(look, &open);
    // A close on a collapsed window counts too; otherwise the click would be lost.
    if (!visible || !open) {
        EndSecondaryWindow();
        return open;
    }
    const ImGuiStyle& style = ImGui::GetStyle();
    bool selectionChanged = false;

    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(kMagnifierIcon);
    ImGui::SameLine();
    ImGui::PushItemWidth(ImGui::GetContentRegionAvail().x -
                         (ImGui::CalcTextSize("Cc").x + 2 * style.FramePadding.x));
    if (ImGui::IsWindowAppearing() || focusFindText)
        ImGui::SetKeyboardFocusHere();
    focusFindText = false;
    ImGui::InputText("##SearchText", searchText, sizeof searchText, ImGuiInputTextFlags_CallbackEdit,
                     ResetSelectionOnEdit, &selected);
    ImGui::PopItemWidth();
    if (ActionButton(true, "Cc", "Match case", matchCase ? 3 : 1)) {
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
        state->FullTextSearch(std::string(searchText), matchCase, hitLimit);
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
                *result.value, selected, [this](size_t index) { return state->FullTextHitContext(index); },
                mutedColor, highlightColor, state->GetWorkspace().get());
            // The limit was reached: there may be more.
            if (result.status == ResultStatus::Done && result.value->size() >= hitLimit &&
                ImGui::Button("Show more"))
                hitLimit = result.value->size() + kFullTextHitsPerPage;
        }
        ImGui::EndListBox();
    }
    storage->SetInt(selectionKey, selected);

    const Ref* chosen = RefAt(result, selected);
    DrawResultPreview(*this, chosen, selected, selectionChanged, ImVec2(avail.x, height - listHeight));

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
        result.status == ResultStatus::Done && hasList && !result.value->empty(), mutedColor);
    presses.showInMain |= chosen && ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) &&
                          ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false);
    ApplyResultButtons(*this, presses, chosen);
    EndSecondaryWindow();
    return true;
}
