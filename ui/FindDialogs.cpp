// Placeholder until the find dialogs land.
#include "ui/Gui.h"

void Gui::DrawFindRefDialog(bool*) {}
void Gui::DrawFindShortnameDialog(bool*) {}
