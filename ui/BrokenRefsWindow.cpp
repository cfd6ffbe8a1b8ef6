#include "ui/BrokenRefsWindow.h"
#include "ui/Gui.h"
#include "ui/ResultListView.h"

#include "model/Workspace.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {
// A cell's text; one cut off at the column's edge shows whole in a tooltip.
void Cell(const std::string& text, bool next = true)
{
    if (next)
        ImGui::TableNextColumn();
    const float room = ImGui::GetContentRegionAvail().x;
    ImGui::TextUnformatted(text.c_str(), text.c_str() + text.size());
    if (ImGui::IsItemHovered() && ImGui::CalcTextSize(text.c_str(), text.c_str() + text.size()).x > room) {
        ImGui::BeginTooltip();
        ImGui::PushTextWrapPos(ImGui::GetFontSize() * 50);
        ImGui::TextUnformatted(text.c_str(), text.c_str() + text.size());
        ImGui::PopTextWrapPos();
        ImGui::EndTooltip();
    }
}

} // namespace

const std::vector<int>& BrokenRefsWindow::RowsShown(const std::shared_ptr<const std::vector<BrokenRef>>& list,
                                                    const BrokenRefView& view)
{
    const bool sameList = !rowsList.owner_before(list) && !list.owner_before(rowsList);
    if (!sameList || !(rowsView == view)) {
        rowsList = list;
        rowsView = view;
        rows = BrokenRefRows(*list, view);
    }
    return rows;
}

void BrokenRefsWindow::Draw(Gui& gui)
{
    if (!shown)
        return;
    ImGuiStorage* storage = ImGui::GetStateStorage();
    const ImGuiID selectionKey = ImGui::GetID("Broken References");
    int selected = gui.StoredSelection(selectionKey); // index into the whole list

    const float font = ImGui::GetFontSize();
    SecondaryWindowLook look{"Broken References", "Broken References", ImVec2(50 * font, 35 * font),
                             ImVec2(42 * font, 35 * font)};
    look.flags = ImGuiWindowFlags_NoScrollbar;
    const bool visible = gui.BeginSecondaryWindow(look, &shown);
    if (!visible || !shown) {
        gui.EndSecondaryWindow();
        return;
    }

    const char* hideLabel = "Hide definition references";
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - ImGui::CalcTextSize(hideLabel).x -
                            ImGui::GetFrameHeight() - 2 * ImGui::GetStyle().ItemSpacing.x);
    ImGui::InputTextWithHint("##Filter", "Filter by text", filterText, sizeof filterText);
    ImGui::SameLine();
    ImGui::Checkbox(hideLabel, &hideDefinitions);
    if (gui.showTooltips && ImGui::IsItemHovered())
        ImGui::SetTooltip("Leave out references held by DEFINITION-REF (to module definitions)");

    const Result<std::vector<BrokenRef>> result = gui.state->FindBrokenRefs();
    const bool done = result.status == ResultStatus::Done && result.value;
    const std::shared_ptr<const Workspace> workspace = gui.state->GetWorkspace();
    const ImGuiStyle& style = ImGui::GetStyle();
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const float height =
        avail.y - (font + style.WindowPadding.y + 2 * style.FramePadding.y) - style.ItemSpacing.y;
    const float barHeight = std::max(4.0f, font * 0.4f);
    const float listHeight = std::clamp(height * listShare, 3 * font, std::max(3 * font, height - 3 * font));

    const std::string singleFileName = std::filesystem::path(gui.state->filePath).filename().string();
    bool selectionChanged = false;
    BrokenRefView view{filterText, hideDefinitions};
    const ImGuiTableFlags tableFlags = ImGuiTableFlags_ScrollY | ImGuiTableFlags_RowBg |
                                       ImGuiTableFlags_BordersInnerV | ImGuiTableFlags_Resizable |
                                       ImGuiTableFlags_Sortable;
    const std::vector<int>* shownRows = nullptr;
    if (ImGui::BeginTable("##BrokenRefs", 5, tableFlags, ImVec2(avail.x, listHeight))) {
        ImGui::TableSetupScrollFreeze(0, 1);
        ImGui::TableSetupColumn("Reference", ImGuiTableColumnFlags_WidthStretch, 3.0f);
        // Fixed columns fit their content only in their first frames, which come before a large
        // document's list does: they start wide enough for a count and the longest reason.
        // Most held first, as the list comes, until another order is asked for.
        ImGui::TableSetupColumn("Holders",
                                ImGuiTableColumnFlags_WidthFixed | ImGuiTableColumnFlags_DefaultSort |
                                    ImGuiTableColumnFlags_PreferSortDescending,
                                ImGui::CalcTextSize("Holders 0000").x);
        ImGui::TableSetupColumn("Why", ImGuiTableColumnFlags_WidthFixed,
                                ImGui::CalcTextSize("base not absolute").x);
        ImGui::TableSetupColumn("First referrer", ImGuiTableColumnFlags_WidthStretch, 2.0f);
        ImGui::TableSetupColumn("File", ImGuiTableColumnFlags_WidthStretch | ImGuiTableColumnFlags_NoSort,
                                1.0f);
        ImGui::TableHeadersRow();
        if (const ImGuiTableSortSpecs* sort = ImGui::TableGetSortSpecs(); sort && sort->SpecsCount > 0) {
            view.sortColumn = sort->Specs[0].ColumnIndex;
            view.descending = sort->Specs[0].SortDirection == ImGuiSortDirection_Descending;
        }
        shownRows = done ? &RowsShown(result.value, view) : nullptr;
        if (shownRows) {
            ImGuiListClipper clipper;
            clipper.Begin(static_cast<int>(shownRows->size()));
            while (clipper.Step()) {
                for (int r = clipper.DisplayStart; r < clipper.DisplayEnd; ++r) {
                    const int i = (*shownRows)[r];
                    const BrokenRef& broken = (*result.value)[i];
                    ImGui::TableNextRow();
                    ImGui::TableNextColumn();
                    const std::string id = "##row" + std::to_string(i);
                    if (ImGui::Selectable(id.c_str(), selected == i, ImGuiSelectableFlags_SpanAllColumns) &&
                        selected != i) {
                        selected = i;
                        selectionChanged = true;
                    }
                    ImGui::SameLine(0, 0);
                    Cell(broken.text, false);
                    Cell(std::to_string(broken.count));
                    Cell(broken.reason);
                    Cell(broken.firstReferrer->path);
                    Cell(workspace ? WorkspaceFileName(*workspace, broken.firstReferrer->node)
                                   : singleFileName);
                }
            }
        }
        ImGui::EndTable();
    }
    // The bar between list and preview: dragged, it gives one the height the other loses.
    ImGui::InvisibleButton("##Split", ImVec2(avail.x, barHeight));
    if (ImGui::IsItemActive() && height > 0)
        listShare = std::clamp((listHeight + ImGui::GetIO().MouseDelta.y) / height, 0.1f, 0.9f);
    if (ImGui::IsItemHovered() || ImGui::IsItemActive())
        ImGui::SetMouseCursor(ImGuiMouseCursor_ResizeNS);
    storage->SetInt(selectionKey, selected);

    const Ref* chosen = done && selected >= 0 && size_t(selected) < result.value->size()
                            ? &(*result.value)[selected].firstReferrer
                            : nullptr;
    DrawResultPreview(gui, chosen, selected, selectionChanged,
                      ImVec2(avail.x, height - listHeight - barHeight - ImGui::GetStyle().ItemSpacing.y));

    ImGui::AlignTextToFramePadding();
    if (done) {
        std::string count = std::to_string(shownRows->size()) + " of " +
                            std::to_string(result.value->size()) + " reference texts name no element";
        ImGui::TextUnformatted(count.c_str());
    } else if (result.status == ResultStatus::Pending) {
        PendingSpinner();
        ImGui::SameLine();
        ImGui::TextUnformatted("Looking for broken references...");
    } else if (result.status == ResultStatus::Error) {
        ImGui::TextUnformatted(result.message.c_str());
    }
    ApplyResultButtons(gui, DrawResultButtons(chosen != nullptr, gui.mutedColor), chosen);
    gui.EndSecondaryWindow();
}
