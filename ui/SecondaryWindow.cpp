#include "ui/SecondaryWindow.h"

#include "ui/Gui.h"
#include "ui/WindowHost.h"
#include "ui/WindowPlacement.h"

#include <cfloat>
#include <cstring>

namespace {

// The placement PlaceNextWindowBesideMiddle would give, from the main window's top left corner.
ImVec2 OffsetBesideMiddle(const SecondaryWindowLook& look)
{
    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    const float font = ImGui::GetFontSize();
    const float band = font + 2 * ImGui::GetStyle().FramePadding.y;
    const float stagger = 1.5f * font * float(look.stagger % 8);
    return BesideMiddle(ImVec2(0, 0), viewport->Size, look.size, band, stagger);
}

} // namespace

bool Gui::BeginSecondaryWindow(const SecondaryWindowLook& look, bool* open)
{
    const ImGuiWindowFlags flags = look.flags | (look.resizable ? 0 : ImGuiWindowFlags_NoResize);
    if (!windowHost) {
        const ImGuiCond condition =
            (look.flags & ImGuiWindowFlags_NoSavedSettings) ? ImGuiCond_Appearing : ImGuiCond_FirstUseEver;
        if (look.minSize.x > 0 || look.minSize.y > 0)
            ImGui::SetNextWindowSizeConstraints(look.minSize, ImVec2(FLT_MAX, FLT_MAX));
        if (look.besideMiddle)
            PlaceNextWindowBesideMiddle(look.size, condition, look.stagger);
        ImGui::SetNextWindowSize(look.size, look.resizable ? condition : ImGuiCond_Always);
        if (look.focus)
            ImGui::SetNextWindowFocus();
        return ImGui::Begin(look.name, open, flags);
    }

    WindowHost::Request request;
    request.name = look.name;
    const char* idStart = std::strstr(look.name, "##");
    request.title.assign(look.name, idStart ? idStart : look.name + std::strlen(look.name));
    request.placeKey = look.placeKey;
    request.offset = OffsetBesideMiddle(look);
    request.size = look.size;
    request.minSize = look.minSize;
    request.resizable = look.resizable;
    request.focus = look.focus || look.raise;
    bool keep = windowHost->Begin(request);

    // The desktop's window frames the window: no title bar, border or grip of the library's own.
    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(viewport->Pos);
    ImGui::SetNextWindowSize(viewport->Size);
    if (look.focus)
        ImGui::SetNextWindowFocus();
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    ImGui::Begin(look.name, nullptr,
                 flags | ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_NoBringToFrontOnFocus);
    ImGui::PopStyleVar();
    // This window's keys are its own context's: the main window never sees them.
    HandleCommandKeys();
    if (EscapeClosesWindow())
        keep = false;
    if (!keep && open)
        *open = false;
    return true;
}

void Gui::EndSecondaryWindow()
{
    ImGui::End();
    if (windowHost)
        windowHost->End();
}
