#include "lifecycle/LoadingState.h"

#include "concurrency/ThreadStart.h"
#include "lifecycle/IndexingState.h"
#include "lifecycle/ReadyState.h"
#include "model/FolderListing.h"
#include "model/Workspace.h"
#include "platform/Platform.h"

#include <filesystem>
#include <stdexcept>

namespace {
bool IsFolder(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::is_directory(Platform::PathFromUtf8(path), ignored);
}

// Folders are expanded to their files, and to what could not be listed with why; the order given
// is kept.
std::vector<ListedFile> FilesOf(const std::vector<std::string>& given, const std::atomic<bool>& stop)
{
    std::vector<ListedFile> listed;
    for (const std::string& path : given) {
        if (!IsFolder(path)) {
            listed.push_back({path, ""});
            continue;
        }
        std::vector<ListedFile> inside = ListWorkspaceFiles(path, stop);
        listed.insert(listed.end(), inside.begin(), inside.end());
    }
    return listed;
}

} // namespace

std::shared_ptr<State> LoadingState::Start(std::string path)
{
    try {
        return std::make_shared<LoadingState>(path);
    } catch (const std::exception& e) {
        return std::make_shared<ErrorState>(path, LoadFailureMessage(path, e.what()));
    }
}

LoadingState::LoadingState(std::string filePath, std::vector<std::string> together)
    : State(std::move(filePath), nullptr), together(std::move(together)), pool(1)
{
    if (!this->together.empty() || IsFolder(this->filePath))
        progress = std::make_unique<WorkspaceProgress>();
    future = pool.Submit(&LoadingState::Load, this);
}

// Files of a folder still loading see the stop request and end early; nobody sees their documents.
LoadingState::~LoadingState()
{
    pool.RequestStop();
}

void LoadingState::OpenFile(std::string path)
{
    State::OpenFile(std::move(path));
    pool.RequestStop();
}

LoadingState::Loaded LoadingState::Load()
{
    try {
        if (!progress)
            return {ReadDocument(filePath), nullptr};
        std::vector<ListedFile> paths =
            FilesOf(together.empty() ? std::vector{filePath} : together, pool.StopFlag());
        if (paths.empty())
            throw std::runtime_error("no .arxml file or .zip archive in it");
        // Rows show where a file sits in the folder opened; files given one by one keep their paths.
        std::string shownFrom = together.empty() ? filePath : ".";
        return {nullptr, LoadWorkspace(paths, std::move(shownFrom), MachineThreads(), pool.StopFlag(),
                                       progress.get())};
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("not enough memory");
    }
}

std::shared_ptr<State> LoadingState::Update()
{
    if (!pendingPath.empty())
        return Start(pendingPath);
    if (!future.IsReady())
        return shared_from_this();
    Loaded loaded;
    try {
        loaded = future.Get();
    } catch (const std::exception& e) {
        return std::make_shared<ErrorState>(filePath, LoadFailureMessage(filePath, e.what()));
    }
    try {
        if (loaded.workspace)
            return std::make_shared<ReadyState>(filePath, std::move(loaded.workspace));
        return std::make_shared<IndexingState>(filePath, std::move(loaded.document));
    } catch (const std::exception& e) {
        return std::make_shared<ErrorState>(filePath, IndexFailureMessage(filePath, e.what()));
    }
}
