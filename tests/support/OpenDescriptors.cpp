#include "support/OpenDescriptors.h"

#include <filesystem>

int OpenDescriptorsTo(const std::string& path)
{
    int count = 0;
    std::error_code error;
    auto target = std::filesystem::canonical(path, error);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code linkError;
        auto linked = std::filesystem::read_symlink(entry.path(), linkError);
        if (!linkError && linked == target)
            ++count;
    }
    return count;
}
