#include "ui/Gui.h"

#include "model/Workspace.h"

#include <cstdio>
#include <filesystem>

namespace {
std::string ReadableSize(uint64_t bytes)
{
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    else if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", double(bytes) / 1024);
    else
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / (1024 * 1024));
    return text;
}

// "12.3 KB, 1234 elements" or "12.3 KB" and the error of a file that failed.
std::string FileDetails(const WorkspaceFile& file)
{
    std::string details = ReadableSize(file.size);
    if (file.index)
        details += ", " + std::to_string(file.index->ElementCount()) + " elements";
    return details;
}
} // namespace

std::string WorkspaceFileName(const Workspace& workspace, pugi::xml_node node)
{
    std::optional<size_t> file = workspace.FileOf(node);
    if (!file)
        return {};
    return std::filesystem::path(workspace.Files()[*file].path).filename().string();
}

// One row per file, each holding that file's tree; the row of the navigation target's file opens.
void Gui::DrawWorkspaceTree(const Workspace& workspace)
{
    const std::vector<WorkspaceFile>& files = workspace.Files();
    for (size_t i = 0; i < files.size(); ++i) {
        const WorkspaceFile& file = files[i];
        ImGui::PushID(static_cast<int>(i));
        const bool holdsTarget = file.document && !navigationTarget.empty() &&
                                 navigationTarget.front() == TreeItem(pugi::xml_node(*file.document));
        if (holdsTarget)
            ImGui::SetNextItemOpen(true);
        ImGuiTreeNodeFlags flags = ImGuiTreeNodeFlags_OpenOnArrow | ImGuiTreeNodeFlags_OpenOnDoubleClick |
                                   ImGuiTreeNodeFlags_SpanAvailWidth;
        if (!file.document)
            flags |= ImGuiTreeNodeFlags_Leaf;
        const std::string name = std::filesystem::path(file.path).filename().string();
        const bool open = ImGui::TreeNodeEx("##file", flags, "%s", name.c_str());
        if (ImGui::IsItemHovered())
            statusText = file.path;
        ImGui::SameLine(0, 20);
        ImGui::PushStyleColor(ImGuiCol_Text, mutedColor);
        ImGui::TextUnformatted(FileDetails(file).c_str());
        ImGui::PopStyleColor();
        if (!file.error.empty()) {
            ImGui::SameLine(0, 20);
            ImGui::PushStyleColor(ImGuiCol_Text, errorColor);
            ImGui::TextUnformatted(file.error.c_str());
            ImGui::PopStyleColor();
        }
        if (open) {
            if (file.document)
                DrawTree("/", true, {}, *file.document,
                         holdsTarget ? navigationTarget : std::vector<TreeItem>());
            ImGui::TreePop();
        }
        ImGui::PopID();
    }
}
