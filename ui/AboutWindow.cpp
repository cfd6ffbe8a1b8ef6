#include "ui/AboutWindow.h"
#include "ui/About.h"
#include "ui/Gui.h"

#include <string_view>

void AboutWindow::Draw(Gui& gui)
{
    if (!shown)
        return;
    const float fontSize = ImGui::GetFontSize();
    const ImVec2 size(42 * fontSize, 35 * fontSize);
    SecondaryWindowLook look{"About", "About", size, size};
    look.flags = ImGuiWindowFlags_NoScrollbar;
    if (gui.BeginSecondaryWindow(look, &shown)) {
        ImGui::Text("Tessaro %s", About::kVersion);
        const std::string_view holder = About::kRightsHolder;
        ImGui::TextUnformatted(holder.data(), holder.data() + holder.size());
        ImGui::Spacing();
        ImGui::PushTextWrapPos(0.0f);
        ImGui::TextUnformatted(About::kLicence);
        ImGui::PopTextWrapPos();
    }
    gui.EndSecondaryWindow();
}
