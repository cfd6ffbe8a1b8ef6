#include "ui/ChangesWindow.h"
#include "ui/ChangeLabels.h"
#include "ui/Gui.h"
#include "ui/TreePaths.h"

#include "lifecycle/Comparison.h"
#include "model/Trail.h"

#include <filesystem>
#include <memory>

const std::vector<uint32_t>& ChangesWindow::RowsShown(const ComparedModels& compared)
{
    if (rowsCompared != compared.serial || rowsText != filterText || rowsKinds != KindsShown()) {
        rowsCompared = compared.serial;
        rowsText = filterText;
        rowsKinds = KindsShown();
        rows.clear();
        for (uint32_t i : compared.treeOrder) {
            if (ChangeShown(compared.changes[i], rowsKinds, rowsText))
                rows.push_back(i);
        }
    }
    return rows;
}

unsigned ChangesWindow::KindsShown() const
{
    unsigned kinds = 0;
    for (unsigned kind = 0; kind < 4; ++kind)
        kinds |= kindShown[kind] ? 1u << kind : 0;
    return kinds;
}

namespace {
void Cell(const char* text)
{
    ImGui::TableNextColumn();
    ImGui::TextUnformatted(text);
    if (ImGui::IsItemHovered() && ImGui::CalcTextSize(text).x > ImGui::GetColumnWidth())
        ImGui::SetTooltip("%s", text);
}

// Opens the main tree at the row of change `index`. Back returns to an added element's parent: the
// history outlives the other version its row points into.
void RevealChange(Gui& gui, const ComparedModels& compared, uint32_t index)
{
    const pugi::xml_node place = compared.places[index];
    if (!place)
        return;
    if (const pugi::xml_node parent = compared.rowParents[index]) {
        std::vector<TreeItem> trail = Trail(parent).Items();
        trail.push_back(place);
        gui.navigation.GoToRowOfOtherVersion(std::move(trail), compared.changes[index].path);
        return;
    }
    gui.navigation.GoTo(Trail(place).Items(), compared.placePaths[index]);
}
} // namespace

void Gui::CompareWith(std::string path)
{
    const std::string open = state->GetFilePath();
    if (open.empty() || path.empty())
        return;
    shownChanges = nullptr; // owned by the comparison replaced here
    if (comparison)
        reaper.Dispose(std::move(comparison)); // it may be waiting for a large load to stop
    comparison = std::make_shared<Comparison>(open, std::move(path));
    changeStep = -1;
    changes.shown = true;
}

void Gui::UpdateComparison()
{
    shownChanges = nullptr;
    if (!comparison)
        return;
    // Another document opened replaces the comparison.
    if (state->GetFilePath() != comparison->oldPath) {
        reaper.Dispose(std::move(comparison));
        comparison.reset();
        changes.shown = false;
        return;
    }
    comparison->Update(*state, reaper);
    const Result<std::shared_ptr<const ComparedModels>> answer = comparison->Poll();
    if (answer.status == ResultStatus::Done && answer.GetValue() &&
        answer.GetValue()->oldModel == state->GetWorkspace())
        shownChanges = answer.GetValue().get(); // owned by the comparison until the next frame's update
}

void Gui::StepChange(int direction)
{
    if (!shownChanges || shownChanges->treeOrder.empty())
        return;
    const int count = int(shownChanges->treeOrder.size());
    if (changeStep < 0 || changeStep >= count)
        changeStep = direction > 0 ? 0 : count - 1;
    else
        changeStep = (changeStep + direction + count) % count;
    RevealChange(*this, *shownChanges, shownChanges->treeOrder[changeStep]);
}

void Gui::DrawElementChanges(const std::string& path)
{
    if (!shownChanges)
        return;
    auto found = shownChanges->byPlacePath.find(path);
    if (found == shownChanges->byPlacePath.end())
        return;
    const ImVec4* colours[4] = {&addedColor, &removedColor, &movedColor, &changedColor}; // by ChangeKind
    for (uint32_t i : found->second) {
        const ModelChange& change = shownChanges->changes[i];
        ImGui::TextColored(*colours[unsigned(change.kind)], "%s", ChangeKindName(change.kind));
        ImGui::SameLine();
        if (change.kind == ChangeKind::Changed)
            ImGui::Text("%s: %s -> %s", change.at.c_str(), change.oldValue ? change.oldValue : "(none)",
                        change.newValue ? change.newValue : "(none)");
        else if (change.kind == ChangeKind::Moved)
            ImGui::Text("%s -> %s", change.fromPath.c_str(), change.path.c_str());
        else
            ImGui::TextUnformatted(change.path.c_str());
    }
    ImGui::Separator();
}

void ChangesWindow::Draw(Gui& gui)
{
    if (!shown)
        return;
    const float font = ImGui::GetFontSize();
    SecondaryWindowLook look{"Changes", "Changes", ImVec2(60 * font, 30 * font),
                             ImVec2(42 * font, 30 * font)};
    look.flags = ImGuiWindowFlags_NoScrollbar;
    look.besideMiddle = true; // the rows it reveals land in the middle of the tree
    const bool visible = gui.BeginSecondaryWindow(look, &shown);
    if (!visible || !shown || !gui.comparison) {
        gui.EndSecondaryWindow();
        shown = shown && gui.comparison;
        return;
    }

    static const char* const kKindLabels[4] = {"added", "removed", "moved", "changed"};
    for (int kind = 0; kind < 4; ++kind) {
        ImGui::Checkbox(kKindLabels[kind], &kindShown[kind]);
        ImGui::SameLine();
    }
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x);
    ImGui::InputTextWithHint("##Filter", "Filter by text", filterText, sizeof filterText);

    const Result<std::shared_ptr<const ComparedModels>> answer = gui.comparison->Poll();
    const ImGuiStyle& style = ImGui::GetStyle();
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const float listHeight = avail.y - (font + style.WindowPadding.y + 2 * style.FramePadding.y);
    const std::vector<uint32_t>* rows = gui.shownChanges ? &RowsShown(*gui.shownChanges) : nullptr;
    const ImGuiTableFlags tableFlags = ImGuiTableFlags_ScrollY | ImGuiTableFlags_RowBg |
                                       ImGuiTableFlags_BordersInnerV | ImGuiTableFlags_Resizable;
    const std::string against = std::filesystem::path(gui.comparison->newPath).filename().string();
    const std::string openTooltip = "Open the element in " + against;
    if (ImGui::BeginTable("##Changes", 6, tableFlags, ImVec2(avail.x, listHeight))) {
        ImGui::TableSetupScrollFreeze(0, 1);
        ImGui::TableSetupColumn("Kind", ImGuiTableColumnFlags_WidthFixed, ImGui::CalcTextSize("changed  ").x);
        ImGui::TableSetupColumn("Path", ImGuiTableColumnFlags_WidthStretch, 3.0f);
        ImGui::TableSetupColumn("At", ImGuiTableColumnFlags_WidthStretch, 2.0f);
        ImGui::TableSetupColumn("Old", ImGuiTableColumnFlags_WidthStretch, 1.5f);
        ImGui::TableSetupColumn("New", ImGuiTableColumnFlags_WidthStretch, 1.5f);
        ImGui::TableSetupColumn("", ImGuiTableColumnFlags_WidthFixed, 2 * font);
        ImGui::TableHeadersRow();
        if (rows) {
            ImGuiListClipper clipper;
            clipper.Begin(int(rows->size()));
            while (clipper.Step()) {
                for (int r = clipper.DisplayStart; r < clipper.DisplayEnd; ++r) {
                    const uint32_t i = (*rows)[r];
                    const ModelChange& change = gui.shownChanges->changes[i];
                    const bool moved = change.kind == ChangeKind::Moved;
                    ImGui::TableNextRow();
                    ImGui::TableNextColumn();
                    ImGui::PushID(int(i));
                    if (ImGui::Selectable(ChangeKindName(change.kind), false,
                                          ImGuiSelectableFlags_SpanAllColumns |
                                              ImGuiSelectableFlags_AllowItemOverlap))
                        RevealChange(gui, *gui.shownChanges, i);
                    Cell(change.path.c_str());
                    Cell(change.at.c_str());
                    Cell(moved ? change.fromPath.c_str() : change.oldValue ? change.oldValue : "");
                    Cell(moved ? change.path.c_str() : change.newValue ? change.newValue : "");
                    // The row goes to the element in the open version; this opens the other's (content
                    // above every named element has no element to open).
                    ImGui::TableNextColumn();
                    if (change.newNode && change.path != "/" &&
                        gui.ActionButton(true, Icon::Open, openTooltip, 8))
                        gui.otherVersion.Open(change.path);
                    ImGui::PopID();
                }
            }
        }
        ImGui::EndTable();
    }

    ImGui::AlignTextToFramePadding();
    if (rows) {
        const std::string count = gui.shownChanges->changes.empty()
                                      ? "No changes from " + against
                                      : std::to_string(rows->size()) + " of " +
                                            std::to_string(gui.shownChanges->changes.size()) +
                                            " changes from " + against + " (F8, Shift+F8 step through them)";
        ImGui::TextUnformatted(count.c_str());
    } else if (answer.status == ResultStatus::Error) {
        ImGui::TextColored(gui.errorColor, "Could not compare: %s", answer.message.c_str());
    } else {
        PendingSpinner();
        ImGui::SameLine();
        ImGui::TextUnformatted(gui.comparison->Progress().c_str());
        KeepDrawingSlowly();
    }
    gui.EndSecondaryWindow();
}
