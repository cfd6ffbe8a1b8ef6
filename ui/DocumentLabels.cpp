#include "ui/DocumentLabels.h"

#include "ui/About.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {
std::string FileName(const std::string& filePath)
{
    const std::string name = std::filesystem::path(filePath).filename().string();
    return name.empty() ? filePath : name;
}
} // namespace

std::string WindowTitle(const std::string& filePath)
{
    const std::string program = std::string("Tessaro ") + About::kVersion;
    return filePath.empty() ? program : FileName(filePath) + " - " + program;
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
        return FileName(filePath);
    return FileName(filePath) + " (" + ReadableSize(size) + ")";
}

std::string OpenDocumentPath(const State& state)
{
    const StateKind kind = state.GetKind();
    return kind == StateKind::Initial || kind == StateKind::Error ? std::string() : state.filePath;
}
