#include "ui/Gui.h"

#include "lifecycle/Comparison.h"
#include "query/ChangeMarks.h"

namespace {
// Kept for the whole process, like the find dialogs' fields.
char filterInput[1024] = "";
void ChangedRowCount(const TreeFilterMatches& rows)
{
    ImGui::Text("%zu changed %s", rows.matchCount, rows.matchCount == 1 ? "row" : "rows");
}
} // namespace

std::string MatchCount(size_t count)
{
    return std::to_string(count) + (count == 1 ? " match" : " matches");
}

const TreeFilterMatches* Gui::DrawTreeFilterBar()
{
    const float font = ImGui::GetFontSize();
    const std::string_view text = filterInput;
    ImGui::AlignTextToFramePadding();
    ImGui::SetNextItemWidth(std::max(10 * font, ImGui::GetContentRegionAvail().x * 0.4f));
    if (focusFilter) {
        ImGui::SetKeyboardFocusHere();
        focusFilter = false;
    }
    // A field being edited would write its own copy of the cleared text back: a cleared filter is
    // a new field.
    static int generation = 0;
    generation += filterCleared;
    filterCleared = false;
    ImGui::PushID(generation);
    ImGui::InputTextWithHint("##TreeFilter", "Filter by SHORT-NAME", filterInput, sizeof filterInput);
    ImGui::PopID();
    if (ActionButton(true, "/", "Match the whole element path", filter.wholePath ? 3 : 1))
        filter.wholePath = !filter.wholePath;
    if (ActionButton(true, ".*", "Regular expression", filter.regex ? 3 : 1))
        filter.regex = !filter.regex;
    filter.text = filterInput;
    if (shownChanges) {
        if (ActionButton(true, "changed only", "Show only the rows with a change and the way to them",
                         changedOnly ? 3 : 0))
            changedOnly = !changedOnly;
        if (changedOnly && text.empty()) {
            ImGui::SameLine(0, 20);
            ChangedRowCount(shownChanges->changedOnly);
            return &shownChanges->changedOnly;
        }
    }
    if (text.empty()) {
        reaper.Dispose(std::move(shownFilter)); // may be large; freed off this thread
        shownFilter.reset();
        return nullptr;
    }

    const Result<TreeFilterMatches> result = state->FilterTree(filter);
    ImGui::SameLine(0, 20);
    switch (result.status) {
        case ResultStatus::Done:
            if (shownFilter != result.value)
                reaper.Dispose(std::move(shownFilter));
            shownFilter = result.value;
            shownFilterQuery = filter;
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
            ImGui::PushStyleColor(ImGuiCol_Text, errorColor);
            ImGui::TextUnformatted(result.message.c_str());
            ImGui::PopStyleColor();
            reaper.Dispose(std::move(shownFilter));
            shownFilter.reset();
            break;
        case ResultStatus::Empty:
            break;
    }
    if (shownChanges && changedOnly && comparison) {
        // Both: the changed rows among the last complete matches; all of them until there are any.
        bool pending = false;
        const std::shared_ptr<const TreeFilterMatches> changed =
            shownFilter ? comparison->ChangedAmong(shownFilter, pending) : nullptr;
        ImGui::SameLine(0, 20);
        if (pending)
            PendingSpinner();
        const TreeFilterMatches& shown = changed ? *changed : shownChanges->changedOnly;
        ImGui::SameLine();
        ChangedRowCount(shown);
        return &shown; // owned by the comparison until the next frame's update
    }
    // While the next answer is being worked out the tree keeps showing the last one.
    return shownFilter.get();
}

void Gui::ClearTreeFilter()
{
    filterCleared = true;
    filterInput[0] = '\0';
    reaper.Dispose(std::move(shownFilter));
    shownFilter.reset();
}
