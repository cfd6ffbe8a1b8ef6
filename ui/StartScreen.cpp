#include "ui/Gui.h"

namespace {
const ImVec4 kLinkColor(0.4f, 0.7f, 1.0f, 1.0f); // recent files open on a click, as links do
}

void Gui::DrawStartScreen()
{
    const ImVec2 size = ImGui::GetWindowSize();
    const char* prompt = "Open a file (Ctrl+O) or drop one here";
    const float lineHeight = ImGui::GetTextLineHeightWithSpacing();
    const float top = size.y * 0.4f - lineHeight * float(recentOpenFiles.size()) / 2;
    ImGui::SetCursorPos(ImVec2((size.x - ImGui::CalcTextSize(prompt).x) * 0.5f, std::max(top, 0.0f)));
    ImGui::TextUnformatted(prompt);
    if (recentOpenFiles.empty())
        return;

    ImGui::NewLine();
    // Opening reorders the list, so the click is acted on after the loop.
    std::string chosen;
    for (const std::string& path : recentOpenFiles) {
        const char* begin = path.c_str();
        const char* end = begin + path.size();
        ImGui::SetCursorPosX(std::max((size.x - ImGui::CalcTextSize(begin, end).x) * 0.5f, 0.0f));
        ImGui::PushStyleColor(ImGuiCol_Text, kLinkColor);
        ImGui::TextUnformatted(begin, end);
        ImGui::PopStyleColor();
        if (ImGui::IsItemHovered())
            ImGui::SetMouseCursor(ImGuiMouseCursor_Hand);
        if (ImGui::IsItemClicked())
            chosen = path;
    }
    if (!chosen.empty()) {
        AddRecentFile(chosen);
        state->OpenFile(chosen);
    }
}
