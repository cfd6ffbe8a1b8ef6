// Placeholder until the refs-to window lands.
#include "ui/Gui.h"

bool Gui::DrawRefsWindow(const WindowEntry&) { return true; }
