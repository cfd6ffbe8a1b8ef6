#include "ui/Gui.h"
#include "ui/ResultListView.h"

#include "model/Workspace.h"

#include <cfloat>
#include <cstring>
#include <filesystem>

namespace {
// Kept for the whole process: closing and reopening the window keeps the filter.
char filterText[1024] = "";

// The rows that pass the filter, worked out again only when the filter or the list changes, so a
// long list costs nothing per frame.
struct FilteredRows
{
    std::string filter;
    const void* list = nullptr;
    std::vector<int> rows;
};

const std::vector<int>& RowsPassing(const std::vector<BrokenRef>& list, const std::string& filter)
{
    static FilteredRows memo;
    if (memo.list != &list || memo.filter != filter) {
        memo.list = &list;
        memo.filter = filter;
        memo.rows.clear();
        for (size_t i = 0; i < list.size(); ++i) {
            if (list[i].text.find(filter) != std::string::npos)
                memo.rows.push_back(static_cast<int>(i));
        }
    }
    return memo.rows;
}

void Cell(const std::string& text)
{
    ImGui::TableNextColumn();
    ImGui::TextUnformatted(text.c_str(), text.c_str() + text.size());
}
} // namespace

bool Gui::DrawBrokenRefsWindow()
{
    ImGuiStorage* storage = ImGui::GetStateStorage();
    const ImGuiID selectionKey = ImGui::GetID("Broken References");
    int selected = StoredSelection(selectionKey); // index into the whole list

    const float font = ImGui::GetFontSize();
    ImGui::SetNextWindowSize(ImVec2(50 * font, 35 * font), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSizeConstraints(ImVec2(42 * font, 35 * font), ImVec2(FLT_MAX, FLT_MAX));
    bool open = true;
    const bool visible = ImGui::Begin("Broken References", &open, ImGuiWindowFlags_NoScrollbar);
    if (!visible || !open) {
        ImGui::End();
        return open;
    }

    ImGui::SetNextItemWidth(-FLT_MIN);
    ImGui::InputTextWithHint("##Filter", "Filter by text", filterText, sizeof filterText);

    const Result<std::vector<BrokenRef>> result = state->FindBrokenRefs();
    const bool done = result.status == ResultStatus::Done && result.value;
    const std::shared_ptr<const Workspace> workspace = state->GetWorkspace();
    const ImGuiStyle& style = ImGui::GetStyle();
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const float height =
        avail.y - (font + style.WindowPadding.y + 2 * style.FramePadding.y) - style.ItemSpacing.y;
    const float listHeight = height * 0.4f;

    const std::string singleFileName = std::filesystem::path(state->filePath).filename().string();
    bool selectionChanged = false;
    const std::vector<int>* rows = done ? &RowsPassing(*result.value, filterText) : nullptr;
    const ImGuiTableFlags tableFlags = ImGuiTableFlags_ScrollY | ImGuiTableFlags_RowBg |
                                       ImGuiTableFlags_BordersInnerV | ImGuiTableFlags_Resizable;
    if (ImGui::BeginTable("##BrokenRefs", 5, tableFlags, ImVec2(avail.x, listHeight))) {
        ImGui::TableSetupScrollFreeze(0, 1);
        ImGui::TableSetupColumn("Reference", ImGuiTableColumnFlags_WidthStretch, 3.0f);
        ImGui::TableSetupColumn("Holders", ImGuiTableColumnFlags_WidthFixed);
        ImGui::TableSetupColumn("Why", ImGuiTableColumnFlags_WidthFixed);
        ImGui::TableSetupColumn("First referrer", ImGuiTableColumnFlags_WidthStretch, 2.0f);
        ImGui::TableSetupColumn("File", ImGuiTableColumnFlags_WidthStretch, 1.0f);
        ImGui::TableHeadersRow();
        if (rows) {
            ImGuiListClipper clipper;
            clipper.Begin(static_cast<int>(rows->size()));
            while (clipper.Step()) {
                for (int r = clipper.DisplayStart; r < clipper.DisplayEnd; ++r) {
                    const int i = (*rows)[r];
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
                    ImGui::TextUnformatted(broken.text.c_str(), broken.text.c_str() + broken.text.size());
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
    storage->SetInt(selectionKey, selected);

    const Ref* chosen = done && selected >= 0 && size_t(selected) < result.value->size()
                            ? &(*result.value)[selected].firstReferrer
                            : nullptr;
    DrawResultPreview(*this, chosen, selected, selectionChanged, ImVec2(avail.x, height - listHeight));

    ImGui::AlignTextToFramePadding();
    if (done) {
        std::string count = std::to_string(rows->size()) + " of " + std::to_string(result.value->size()) +
                            " reference texts name no element";
        ImGui::TextUnformatted(count.c_str());
    } else if (result.status == ResultStatus::Pending) {
        PendingSpinner();
        ImGui::SameLine();
        ImGui::TextUnformatted("Looking for broken references...");
    } else if (result.status == ResultStatus::Error) {
        ImGui::TextUnformatted(result.message.c_str());
    }
    ApplyResultButtons(*this, DrawResultButtons(chosen != nullptr, mutedColor), chosen);
    ImGui::End();
    return true;
}
