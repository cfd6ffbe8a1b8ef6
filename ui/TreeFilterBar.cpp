#include "ui/TreeFilterBar.h"
#include "ui/Gui.h"

#include "lifecycle/Comparison.h"
#include "query/ChangeMarks.h"

namespace {
void ChangedRowCount(const TreeFilterMatches& rows)
{
    ImGui::Text("%zu changed %s", rows.matchCount, rows.matchCount == 1 ? "row" : "rows");
}
} // namespace

std::string MatchCount(size_t count)
{
    return std::to_string(count) + (count == 1 ? " match" : " matches");
}

const TreeFilterMatches* TreeFilterBar::Draw(Gui& gui)
{
    const float font = ImGui::GetFontSize();
    const std::string_view text = input;
    ImGui::AlignTextToFramePadding();
    ImGui::SetNextItemWidth(std::max(10 * font, ImGui::GetContentRegionAvail().x * 0.4f));
    if (focus) {
        ImGui::SetKeyboardFocusHere();
        focus = false;
    }
    generation += cleared;
    cleared = false;
    ImGui::PushID(generation);
    ImGui::InputTextWithHint("##TreeFilter", "Filter by SHORT-NAME", input, sizeof input);
    ImGui::PopID();
    if (gui.ActionButton(true, "/", "Match the whole element path", query.wholePath ? 3 : 1))
        query.wholePath = !query.wholePath;
    if (gui.ActionButton(true, ".*", "Regular expression", query.regex ? 3 : 1))
        query.regex = !query.regex;
    query.text = input;
    if (const ComparedModels* shownChanges = gui.shownChanges) {
        if (gui.ActionButton(true, "changed only", "Show only the rows with a change and the way to them",
                             changedOnly ? 3 : 0))
            changedOnly = !changedOnly;
        if (changedOnly && text.empty()) {
            ImGui::SameLine(0, 20);
            ChangedRowCount(shownChanges->changedOnly);
            return &shownChanges->changedOnly;
        }
    }
    if (text.empty()) {
        DropShown(gui.reaper);
        return nullptr;
    }

    const Result<TreeFilterMatches> result = gui.state->FilterTree(query);
    ImGui::SameLine(0, 20);
    switch (result.status) {
        case ResultStatus::Done:
            if (shown != result.value)
                DropShown(gui.reaper);
            shown = result.value;
            shownQuery = query;
            ImGui::TextUnformatted(MatchCount(result.value->matchCount).c_str());
            break;
        case ResultStatus::Partial:
            PendingSpinner();
            ImGui::SameLine();
            ImGui::TextUnformatted(MatchCount(result.value->matchCount).c_str());
            break;
        case ResultStatus::Pending:
            PendingSpinner();
            break;
        case ResultStatus::Error:
            ImGui::PushStyleColor(ImGuiCol_Text, gui.errorColor);
            ImGui::TextUnformatted(result.message.c_str());
            ImGui::PopStyleColor();
            DropShown(gui.reaper);
            break;
        case ResultStatus::Empty:
            break;
    }
    const ComparedModels* shownChanges = gui.shownChanges;
    if (shownChanges && changedOnly && gui.comparison) {
        // Both: the changed rows among the last complete matches; all of them until there are any.
        bool pending = false;
        const std::shared_ptr<const TreeFilterMatches> changed =
            shown ? gui.comparison->ChangedAmong(shown, pending) : nullptr;
        ImGui::SameLine(0, 20);
        if (pending)
            PendingSpinner();
        const TreeFilterMatches& changedShown = changed ? *changed : shownChanges->changedOnly;
        ImGui::SameLine();
        ChangedRowCount(changedShown);
        return &changedShown; // owned by the comparison until the next frame's update
    }
    // While the next answer is being worked out the tree keeps showing the last one.
    return shown.get();
}

void TreeFilterBar::Clear(Reaper& reaper)
{
    cleared = true;
    input[0] = '\0';
    DropShown(reaper);
}

void TreeFilterBar::DropShown(Reaper& reaper)
{
    reaper.Dispose(std::move(shown)); // may be large; freed off this thread
    shown.reset();
}
