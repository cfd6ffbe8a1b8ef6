// Placeholder until the tree view lands.
#include "ui/Gui.h"

void Gui::DrawTree(std::string, bool, std::vector<TreeItem>, pugi::xml_node, std::vector<TreeItem>) {}
bool Gui::ActionButton(bool, std::string, std::string, int) { return false; }
bool CopyToClipboard(std::string) { return false; }
