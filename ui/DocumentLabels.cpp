#include "ui/DocumentLabels.h"

#include "ui/About.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

std::string DocumentName(const std::string& filePath)
{
    // A folder chosen as "/data/project/" is named by its last part too.
    std::filesystem::path path(filePath);
    if (!path.has_filename() && path.has_parent_path())
        path = path.parent_path();
    const std::string name = path.filename().string();
    return name.empty() ? filePath : name;
}

std::string WindowTitle(const std::string& filePath)
{
    const std::string program = std::string("Tessaro ") + About::kVersion;
    return filePath.empty() ? program : DocumentName(filePath) + " - " + program;
}

std::string ReadableSize(uintmax_t bytes)
{
    if (bytes < 1000)
        return std::to_string(bytes) + " bytes";
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1000;
    int unit = 0;
    while (value >= 999.95 && unit < 3) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 100 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

std::string FileNameAndSize(const std::string& filePath)
{
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(filePath, error);
    if (error)
        return DocumentName(filePath);
    return DocumentName(filePath) + " (" + ReadableSize(size) + ")";
}

std::string FolderLoadingLines(const std::string& folder, const WorkspaceProgress& progress)
{
    const size_t files = progress.files.load(std::memory_order_relaxed);
    if (files == 0)
        return DocumentName(folder) + "\nLooking for files";
    const size_t read = progress.read.load(std::memory_order_relaxed);
    const size_t done = progress.indexed.load(std::memory_order_relaxed);
    return DocumentName(folder) + "\n" + std::to_string(done) + " of " + std::to_string(files) +
           " files loaded\n" + (read < files ? "Reading files" : "Indexing");
}

std::string OpenDocumentPath(const State& state)
{
    const StateKind kind = state.GetKind();
    return kind == StateKind::Initial || kind == StateKind::Error ? std::string() : state.filePath;
}
