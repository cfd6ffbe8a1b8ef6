#include "ui/WindowPlacement.h"

#include <algorithm>

namespace {
float Clamp(float value, float low, float high)
{
    return std::max(low, std::min(value, high));
}
} // namespace

ImVec2 BesideMiddle(ImVec2 areaMin, ImVec2 areaMax, ImVec2 size, float band, float stagger)
{
    const ImVec2 centre((areaMin.x + areaMax.x) / 2, (areaMin.y + areaMax.y) / 2);
    const float lowestY = std::max(areaMin.y, areaMax.y - size.y);
    const float rightmostX = std::max(areaMin.x, areaMax.x - size.x);
    if (areaMax.x - centre.x >= size.x)
        return ImVec2(Clamp(centre.x + stagger, centre.x, rightmostX),
                      Clamp(centre.y - size.y / 2 + stagger, areaMin.y, lowestY));
    if (areaMax.y - (centre.y + band) >= size.y)
        return ImVec2(rightmostX - Clamp(stagger, 0, rightmostX - areaMin.x),
                      Clamp(centre.y + band + stagger, centre.y + band, lowestY));
    if (centre.y - band - areaMin.y >= size.y)
        return ImVec2(rightmostX - Clamp(stagger, 0, rightmostX - areaMin.x),
                      Clamp(centre.y - band - size.y - stagger, areaMin.y, centre.y - band - size.y));
    return ImVec2(rightmostX, Clamp(centre.y - size.y / 2 + stagger, areaMin.y, lowestY));
}

void PlaceNextWindowBesideMiddle(ImVec2 size, ImGuiCond condition, int windowsOpen)
{
    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    const float font = ImGui::GetFontSize();
    const ImVec2 areaMax(viewport->Pos.x + viewport->Size.x, viewport->Pos.y + viewport->Size.y);
    // Two rows high: the revealed row and a margin around it.
    const float band = font + 2 * ImGui::GetStyle().FramePadding.y;
    const float stagger = 1.5f * font * float(windowsOpen % 8);
    ImGui::SetNextWindowPos(BesideMiddle(viewport->Pos, areaMax, size, band, stagger), condition);
}
