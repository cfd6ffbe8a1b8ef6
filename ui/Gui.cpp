// Placeholder until the Gui object lands.
#include "ui/Gui.h"

ImVec4 HexToColor(const std::string&) { return ImVec4(0, 0, 0, 1); }
bool Gui::DrawFrame()
{
    state = state->Update();
    return !keepRunning;
}
void Gui::OpenElementWindow(std::string) {}
void Gui::OpenRefsWindow(std::string) {}
void Gui::SetStatusTextIfHovered(std::string) {}
void Gui::AddRecentFile(std::string) {}
