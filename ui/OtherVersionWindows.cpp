#include "ui/OtherVersionWindows.h"
#include "ui/Gui.h"

#include "lifecycle/Comparison.h"
#include "model/Workspace.h"

#include <filesystem>

void OtherVersionWindows::Open(std::string path)
{
    windows.push_back(Window{std::move(path), opened++});
}

void OtherVersionWindows::Draw(Gui& gui)
{
    if (!gui.comparison) {
        windows.clear();
        return;
    }
    const std::string version = std::filesystem::path(gui.comparison->newPath).filename().string();
    const float font = ImGui::GetFontSize();
    for (auto it = windows.begin(); it != windows.end();) {
        bool open = true;
        const std::string title = it->path + " in " + version + "##other" + std::to_string(it->id);
        SecondaryWindowLook look{title.c_str(), "Element", ImVec2(35 * font, 25 * font)};
        look.besideMiddle = true;
        look.stagger = it->id;
        look.flags = ImGuiWindowFlags_NoSavedSettings;
        if (gui.BeginSecondaryWindow(look, &open)) {
            std::optional<Workspace::Located> found;
            if (gui.shownChanges)
                found = gui.shownChanges->newModel->FindPath(it->path);
            if (found) {
                ImGui::PushID("other");
                gui.DrawTree(it->path, false, found->node, {});
                ImGui::PopID();
            } else if (gui.shownChanges) {
                ImGui::TextColored(gui.errorColor, "%s has no element at %s", version.c_str(),
                                   it->path.c_str());
            } else {
                PendingSpinner();
            }
        }
        gui.EndSecondaryWindow();
        it = open ? std::next(it) : windows.erase(it);
    }
}
