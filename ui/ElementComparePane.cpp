#include "ui/ElementComparePane.h"
#include "ui/Gui.h"

#include "lifecycle/Comparison.h"
#include "model/Workspace.h"

#include <filesystem>

namespace {
// The other version's element for the one at `path`: where it moved to, else at the same path.
std::pair<pugi::xml_node, std::string> Counterpart(const ComparedModels& compared, const std::string& path)
{
    if (auto changes = compared.byPlacePath.find(path); changes != compared.byPlacePath.end()) {
        for (uint32_t i : changes->second) {
            const ModelChange& change = compared.changes[i];
            if (change.kind == ChangeKind::Moved && change.fromPath == path)
                return {change.newNode, change.path};
        }
    }
    if (std::optional<Workspace::Located> found = compared.newModel->FindPath(path))
        return {found->node, path};
    return {{}, path};
}

std::string FileName(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}
} // namespace

bool DrawElementComparePane(Gui& gui, const std::string& path, pugi::xml_node node)
{
    if (!gui.shownChanges || !gui.comparison)
        return false;
    const ComparedModels& compared = *gui.shownChanges;
    const auto [other, otherPath] = Counterpart(compared, path);
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const float half = (avail.x - ImGui::GetStyle().ItemSpacing.x) / 2;
    ImGui::BeginChild("##open version", ImVec2(half, avail.y), true, ImGuiWindowFlags_HorizontalScrollbar);
    ImGui::TextColored(gui.mutedColor, "%s", FileName(gui.comparison->oldPath).c_str());
    gui.DrawTree(path, false, node, {});
    ImGui::EndChild();
    ImGui::SameLine();
    ImGui::BeginChild("##other version", ImVec2(half, avail.y), true, ImGuiWindowFlags_HorizontalScrollbar);
    const std::string otherFile = FileName(gui.comparison->newPath);
    if (other) {
        ImGui::TextColored(gui.mutedColor, "%s",
                           (otherPath == path ? otherFile : otherFile + ": " + otherPath).c_str());
        gui.DrawTree(otherPath, false, other, {});
    } else {
        ImGui::TextColored(gui.removedColor, "%s has no element at %s", otherFile.c_str(), path.c_str());
    }
    ImGui::EndChild();
    return true;
}
