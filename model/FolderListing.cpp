#include "model/FolderListing.h"

#include "document/ReadDocument.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

namespace {
namespace fs = std::filesystem;

bool IsWorkspaceFileName(const fs::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    // The loader reads an archive only when its extension is exactly "zip".
    return extension == ".arxml" || path.extension() == ".zip";
}

class Lister
{
public:
    explicit Lister(const std::atomic<bool>& stop) : stop(stop) {}

    // Folders waiting to be read are kept on a list, not in open handles, so that a deep tree
    // never holds more than one folder open.
    std::vector<ListedFile> List(const std::string& root)
    {
        waiting.push_back(root);
        while (!waiting.empty() && !stop.load(std::memory_order_relaxed)) {
            std::string folder = std::move(waiting.back());
            waiting.pop_back();
            ReadFolder(folder);
        }
        std::sort(found.begin(), found.end(),
                  [](const ListedFile& a, const ListedFile& b) { return a.path < b.path; });
        return std::move(found);
    }

private:
    void Fail(const std::string& path, const std::string& reason)
    {
        found.push_back({path, LoadFailureMessage(path, reason)});
    }

    void ReadFolder(const std::string& folder)
    {
        // A folder reached again under another name (a link on Windows, a bind mount) is read once.
        if (std::optional<Platform::FileIdentity> identity = Platform::IdentifyFile(folder)) {
            if (!seen.insert(*identity).second)
                return;
        }
        std::error_code error;
        fs::directory_iterator entries(Platform::PathFromUtf8(folder), error);
        for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
            if (stop.load(std::memory_order_relaxed))
                return;
            Take(*entries);
        }
        if (error)
            Fail(folder, "could not list the folder: " + error.message());
    }

    void Take(const fs::directory_entry& entry)
    {
        const std::string path = Platform::Utf8FromPath(entry.path());
        std::error_code error;
        const fs::file_status own = entry.symlink_status(error);
        if (error) {
            // What is gone since the folder was read matters only under a name the loader takes;
            // anything else that cannot be looked at might have been a folder of files.
            if (error != std::errc::no_such_file_or_directory || IsWorkspaceFileName(entry.path()))
                Fail(path, error.message());
            return;
        }
        if (fs::is_directory(own)) {
            waiting.push_back(path);
            return;
        }
        if (!IsWorkspaceFileName(entry.path()))
            return;
        // A link counts as what it names: a link to a folder is not followed, one to a file is
        // loaded, a dangling one fails in the loader with the system's reason.
        if (fs::is_symlink(own) && fs::is_directory(entry.status(error)))
            return;
        found.push_back({path, ""});
    }

    const std::atomic<bool>& stop;
    std::vector<std::string> waiting;
    std::set<Platform::FileIdentity> seen;
    std::vector<ListedFile> found;
};
} // namespace

std::vector<ListedFile> ListWorkspaceFiles(const std::string& folder, const std::atomic<bool>& stop)
{
    return Lister(stop).List(folder);
}
