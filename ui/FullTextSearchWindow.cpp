// Placeholder until the full-text search window lands.
#include "ui/Gui.h"

bool Gui::DrawFullTextSearchWindow() { return true; }
