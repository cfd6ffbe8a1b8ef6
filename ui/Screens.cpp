#include "ui/Gui.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kPi = 3.14159265358979f;

// The palette's error colour (Gui::errorColor); the screens are free functions without a Gui.
const ImVec4 kErrorColor = HexToColor("EB6847");

// Reserves a spinner's box at the cursor; false when nothing is to be drawn.
bool SpinnerItem(float radius, ImVec2& centre, int& segments)
{
    const ImVec2 pos = ImGui::GetCursorScreenPos();
    const ImVec2 size(radius * 2, radius * 2 + ImGui::GetStyle().FramePadding.y * 2);
    ImGui::Dummy(size);
    if (!ImGui::IsItemVisible())
        return false;
    centre = ImVec2(pos.x + size.x / 2, pos.y + size.y / 2);
    // As many segments as the library's own circles of that radius take (an even count whose
    // chords stray from the circle by at most the style's tessellation error).
    const float error = std::min(ImGui::GetStyle().CircleTessellationMaxError, radius);
    const int count = int(std::ceil(kPi / std::acos(1 - error / radius)));
    segments = std::clamp((count + 1) / 2 * 2, 4, 512);
    return true;
}

} // namespace

void LoadingSpinner(const ImVec4& colour)
{
    KeepDrawingSlowly();
    const float radius = 36;
    ImVec2 centre;
    int segments = 0;
    if (!SpinnerItem(radius, centre, segments))
        return;
    // A tail running around a lemniscate of Bernoulli, thickening towards its head.
    auto point = [&](float a) {
        float s = std::sin(a);
        float d = 1 + s * s;
        return ImVec2(centre.x + radius * std::cos(a) / d, centre.y + radius * s * std::cos(a) / d);
    };
    const float t0 = (float)ImGui::GetTime() * 2.8f;
    const float step = (kPi / 2) / segments;
    const ImU32 colour32 = ImGui::ColorConvertFloat4ToU32(colour);
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    for (int k = 0; k < segments; ++k)
        drawList->AddLine(point(t0 + k * step), point(t0 + (k + 1) * step), colour32, k * 4.0f / segments);
}

void PendingSpinner()
{
    KeepDrawingSlowly();
    const float fontSize = ImGui::GetFontSize();
    const float radius = fontSize / 2;
    ImVec2 centre;
    int segments = 0;
    if (!SpinnerItem(radius, centre, segments))
        return;
    // Five spokes fading towards the tail; the figure turns in steps of 45 degrees.
    const float a = (float)ImGui::GetTime() * 8;
    const float a0 = a - std::fmod(a, kPi / 4);
    ImVec4 colour = ImGui::GetStyleColorVec4(ImGuiCol_Text);
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    for (int k = 0; k < 5; ++k) {
        float theta = a0 + k * kPi / 4;
        colour.w = std::max(k * 0.25f, 0.1f);
        ImVec2 direction(std::cos(theta), std::sin(theta));
        drawList->AddLine(
            ImVec2(centre.x + fontSize / 6 * direction.x, centre.y + fontSize / 6 * direction.y),
            ImVec2(centre.x + radius * direction.x, centre.y + radius * direction.y),
            ImGui::ColorConvertFloat4ToU32(colour), 2.0f);
    }
}

void DrawLoadingScreen(const std::string& what)
{
    const ImVec2 windowSize = ImGui::GetWindowSize();
    ImGui::SetCursorPos(ImVec2(0.5f * windowSize.x, 0.5f * windowSize.y));
    LoadingSpinner(ImVec4(1, 1, 1, 1));
    ImGui::SetCursorPos(ImVec2(0.5f * windowSize.x, 0.5f * windowSize.y + 80));
    ImGui::TextUnformatted("Loading...");
    // One line after another, each starting under the spinner.
    for (size_t start = 0; start < what.size();) {
        size_t end = what.find('\n', start);
        if (end == std::string::npos)
            end = what.size();
        ImGui::SetCursorPosX(0.5f * windowSize.x);
        ImGui::TextUnformatted(what.c_str() + start, what.c_str() + end);
        start = end + 1;
    }
}

void DrawErrorScreen(std::string message)
{
    const ImVec2 windowSize = ImGui::GetWindowSize();
    const char* begin = message.data();
    const char* end = begin + message.size();
    ImVec2 textSize = ImGui::CalcTextSize(begin, end, false);
    ImGui::SetCursorPos(ImVec2((windowSize.x - textSize.x) * 0.5f, (windowSize.y - textSize.y) * 0.5f + 80));
    ImGui::PushStyleColor(ImGuiCol_Text, kErrorColor);
    ImGui::TextUnformatted(begin, end);
    ImGui::PopStyleColor();
}
