// Placeholder until the settings store lands.
#include "settings/Settings.h"

std::string GetConfigDirectory() { return {}; }
void LoadSettings(Settings&) {}
void SaveSettings(const Settings&) {}
void AddRecentFile(std::list<std::string>&, const std::string&) {}
