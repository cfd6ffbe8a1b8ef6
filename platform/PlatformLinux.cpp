// Placeholder until the Linux platform layer lands.
#include "platform/Platform.h"

namespace Platform {
void ShowOpenFileDialog(const std::function<void(const std::string&)>& onChosen) { onChosen(""); }
void LaunchInstance(const std::string&) {}
void OpenWebAddress(const std::string&) {}
std::string GetExecutablePath() { return {}; }
std::string GetExecutableName() { return {}; }
int CountProcessesNamed(const std::string&) { return 0; }
} // namespace Platform
