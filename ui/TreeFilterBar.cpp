#include "ui/TreeFilterBar.h"
#include "ui/Gui.h"

#include "query/ChangeMarks.h"

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
        if (changedOnly) {
            ImGui::SameLine(0, 20);
            const size_t rows = shownChanges->changedOnly.matchCount;
            ImGui::Text("%zu changed %s", rows, rows == 1 ? "row" : "rows");
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
