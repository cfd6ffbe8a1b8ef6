// Placeholder until the menus land.
#include "ui/Gui.h"

void Gui::MenuFile() {}
void Gui::MenuNavigate() {}
void Gui::MenuHelp() {}
void Gui::DrawStatusLine() {}
