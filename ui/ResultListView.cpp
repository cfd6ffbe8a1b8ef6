#include "ui/ResultListView.h"

#include "ui/SearchWindowsText.h"

#include <algorithm>

namespace {
// A row whose text runs past the list's right edge shows all of it in a tooltip.
void TooltipIfCut(const std::string& label, bool hidesAfterHashes = true)
{
    if (!ImGui::IsItemHovered())
        return;
    // The GUI library shows a label up to its "##", the rest being its identity.
    const size_t shown = hidesAfterHashes ? std::min(label.find("##"), label.size()) : label.size();
    const char* end = label.c_str() + shown;
    const float textRight = ImGui::GetItemRectMin().x + ImGui::CalcTextSize(label.c_str(), end).x;
    if (textRight <= ImGui::GetWindowPos().x + ImGui::GetWindowContentRegionMax().x)
        return;
    ImGui::BeginTooltip();
    ImGui::TextUnformatted(label.c_str(), end);
    ImGui::EndTooltip();
}
// Draws `text` at `at` and returns where the next text starts.
ImVec2 DrawRun(ImDrawList* drawList, ImVec2 at, const std::string& text, ImU32 colour, ImU32 background = 0)
{
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    const ImVec2 size = ImGui::CalcTextSize(begin, end, false);
    if (background)
        drawList->AddRectFilled(at, ImVec2(at.x + size.x, at.y + size.y), background);
    drawList->AddText(at, colour, begin, end);
    return ImVec2(at.x + size.x, at.y);
}
} // namespace

float ResultListHeight(float height)
{
    const float rows =
        kResultRowsShown * ImGui::GetTextLineHeightWithSpacing() + 2 * ImGui::GetStyle().FramePadding.y;
    return std::max(height * 0.33333334f, std::min(rows, height * 0.5f));
}

float ResultWindowHeight(float chromeHeight)
{
    const float rows =
        kResultRowsShown * ImGui::GetTextLineHeightWithSpacing() + 2 * ImGui::GetStyle().FramePadding.y;
    return 2 * rows + chromeHeight;
}

bool DrawResultRows(const std::vector<Ref>& refs, int& selected, const Workspace* workspace)
{
    bool changed = false;
    ImGuiListClipper clipper;
    clipper.Begin(static_cast<int>(refs.size()), ImGui::GetTextLineHeightWithSpacing());
    while (clipper.Step()) {
        for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
            const bool isSelected = selected == i;
            std::string label = ResultLabel(refs[i], i);
            if (workspace)
                label.insert(label.rfind("##"), "   [" + WorkspaceFileName(*workspace, refs[i]->node) + "]");
            if (ImGui::Selectable(label.c_str(), isSelected) && !isSelected) {
                selected = i;
                changed = true;
            }
            TooltipIfCut(label);
            if (isSelected)
                ImGui::SetItemDefaultFocus();
        }
    }
    return changed;
}

bool DrawHitRows(const std::vector<Ref>& refs, int& selected,
                 const std::function<HitContext(size_t)>& contextOf, const ImVec4& muted,
                 const ImVec4& highlight, const Workspace* workspace)
{
    bool changed = false;
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    const ImU32 text = ImGui::GetColorU32(ImGuiCol_Text);
    const ImU32 mutedText = ImGui::GetColorU32(muted);
    const ImU32 matchBackground = ImGui::GetColorU32(highlight);
    ImGuiListClipper clipper;
    clipper.Begin(static_cast<int>(refs.size()), ImGui::GetTextLineHeightWithSpacing());
    while (clipper.Step()) {
        for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
            const bool isSelected = selected == i;
            const ImVec2 start = ImGui::GetCursorScreenPos();
            ImGui::PushID(i);
            if (ImGui::Selectable("##hit", isSelected) && !isSelected) {
                selected = i;
                changed = true;
            }
            ImGui::PopID();
            if (isSelected)
                ImGui::SetItemDefaultFocus();
            // Drawn verbatim: paths and document text may hold "##" or "%".
            std::string label = refs[i]->path + " : " + NodeDisplayName(refs[i]->node);
            if (workspace)
                label += "   [" + WorkspaceFileName(*workspace, refs[i]->node) + "]";
            const HitContext context = contextOf(i);
            ImVec2 at = DrawRun(drawList, start, label + "   ", text);
            at = DrawRun(drawList, at, context.before, mutedText);
            at = DrawRun(drawList, at, context.match, text, matchBackground);
            at = DrawRun(drawList, at, context.after, mutedText);
            TooltipIfCut(label + "   " + context.before + context.match + context.after, false);
        }
    }
    return changed;
}

void DrawResultPreview(Gui& gui, const Ref* ref, int selected, bool openToRef, ImVec2 size)
{
    ImGui::BeginChild("ScrollingRegion", size, true, ImGuiWindowFlags_HorizontalScrollbar);
    if (ref) {
        const Ref::Internal& hit = **ref;
        ImGui::PushID(static_cast<int>(gui.state->id));
        ImGui::PushID(selected);
        gui.DrawTree(hit.path, false, hit.element, openToRef ? hit.trail.Items() : std::vector<TreeItem>());
        ImGui::PopID();
        ImGui::PopID();
    }
    ImGui::EndChild();
}

ResultButtonPresses DrawResultButtons(bool enabled, const ImVec4& mutedColor, const char* revealLabel,
                                      float rightEdge)
{
    if (!enabled) {
        // Muted by the text colour alone, not dimmed again.
        ImGui::PushStyleColor(ImGuiCol_Text, mutedColor);
        ImGui::PushStyleVar(ImGuiStyleVar_DisabledAlpha, 1.0f);
        ImGui::BeginDisabled();
    }
    const ImGuiStyle& style = ImGui::GetStyle();
    const char* openLabel = "Open in new window";
    const float width = ImGui::CalcTextSize(openLabel).x + ImGui::CalcTextSize(revealLabel).x +
                        4 * style.FramePadding.x + style.ItemSpacing.x;
    ImGui::SameLine(rightEdge - width);
    ResultButtonPresses presses;
    presses.openWindow = ImGui::Button(openLabel) && enabled;
    ImGui::SameLine();
    presses.showInMain = ImGui::Button(revealLabel) && enabled;
    if (!enabled) {
        ImGui::EndDisabled();
        ImGui::PopStyleVar();
        ImGui::PopStyleColor();
    }
    return presses;
}

void ApplyResultButtons(Gui& gui, const ResultButtonPresses& presses, const Ref* selected)
{
    if (!selected)
        return;
    if (presses.openWindow)
        gui.navigation.OpenElementWindow((*selected)->path);
    if (presses.showInMain)
        gui.navigation.GoTo((*selected)->trail, (*selected)->path);
}
