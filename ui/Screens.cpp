// Placeholder until the loading and status screens land.
#include "ui/Gui.h"

void PendingSpinner() {}
void LoadingSpinner(const ImVec4&) {}
void DrawLoadingScreen() {}
void DrawErrorScreen(std::string) {}
