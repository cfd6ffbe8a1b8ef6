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
    return file ? workspace.ShownPath(*file) : std::string();
}

// One file opened by itself is its document's tree, with no row for the file. Of several files, only
// the files with a match are listed while filtering, each opening by itself; the row of the
// navigation target's file opens.
void Gui::DrawWorkspaceTree(const State& shown, const std::vector<TreeItem>& target,
                            const TreeFilterMatches* filter)
{
    if (shown.document) {
        DrawTree("/", true, *shown.document, target, filter);
        return;
    }
    const std::shared_ptr<const Workspace> workspace = shown.GetWorkspace();
    if (!workspace)
        return;
    const std::vector<WorkspaceFile>& files = workspace->Files();
    bool anyShown = false;
    for (size_t i = 0; i < files.size(); ++i) {
        const WorkspaceFile& file = files[i];
        const size_t matches = filter && i < filter->matchesPerRoot.size() ? filter->matchesPerRoot[i] : 0;
        if (filter && matches == 0)
            continue;
        anyShown = true;
        ImGui::PushID(static_cast<int>(i));
        const bool holdsTarget =
            file.document && !target.empty() && target.front() == TreeItem(pugi::xml_node(*file.document));
        if (holdsTarget)
            ImGui::SetNextItemOpen(true);
        else if (filter)
            ImGui::SetNextItemOpen(true, ImGuiCond_Once);
        ImGuiTreeNodeFlags flags = ImGuiTreeNodeFlags_OpenOnArrow | ImGuiTreeNodeFlags_OpenOnDoubleClick |
                                   ImGuiTreeNodeFlags_SpanAvailWidth;
        if (!file.document)
            flags |= ImGuiTreeNodeFlags_Leaf;
        const std::string name = workspace->ShownPath(i);
        const bool open = ImGui::TreeNodeEx("##file", flags, "%s", name.c_str());
        if (ImGui::IsItemHovered())
            statusText = file.path;
        ImGui::SameLine(0, 20);
        ImGui::PushStyleColor(ImGuiCol_Text, mutedColor);
        ImGui::TextUnformatted(filter ? MatchCount(matches).c_str() : FileDetails(file).c_str());
        ImGui::PopStyleColor();
        if (!file.error.empty()) {
            ImGui::SameLine(0, 20);
            ImGui::PushStyleColor(ImGuiCol_Text, errorColor);
            ImGui::TextUnformatted(file.error.c_str());
            ImGui::PopStyleColor();
        }
        if (open) {
            if (file.document)
                DrawTree("/", true, *file.document, holdsTarget ? target : std::vector<TreeItem>(), filter);
            ImGui::TreePop();
        }
        ImGui::PopID();
    }
    if (filter && !anyShown) {
        ImGui::PushStyleColor(ImGuiCol_Text, mutedColor);
        ImGui::TextUnformatted("No element matches the filter.");
        ImGui::PopStyleColor();
    }
}
