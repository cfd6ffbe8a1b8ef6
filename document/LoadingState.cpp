#include "document/LoadingState.h"

#include "concurrency/ThreadStart.h"
#include "document/ArchiveReader.h"
#include "document/DocumentMemory.h"
#include "document/DocumentParser.h"
#include "model/FolderListing.h"
#include "model/IndexingState.h"
#include "model/Workspace.h"
#include "platform/Platform.h"
#include "query/ReadyState.h"

#include <filesystem>
#include <stdexcept>

namespace {
std::string Extension(const std::string& path)
{
    size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

// Before main: every document of the process comes from and returns to the same functions.
[[maybe_unused]] const bool documentMemoryInstalled = (InstallDocumentMemory(), true);

std::runtime_error LoadFailure(const std::string& reason)
{
    return std::runtime_error(reason);
}

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

std::shared_ptr<pugi::xml_document> ReadDocument(const std::string& path)
{
    // Opening a FIFO waits for a writer forever and a device never ends: only regular files (or
    // links to them) are read, in both branches.
    std::error_code ignored;
    auto status = std::filesystem::status(Platform::PathFromUtf8(path), ignored);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw LoadFailure("not a regular file");
    if (Extension(path) == "zip") {
        ArchiveMember member = ExtractFirstArxmlMember(path);
        if (!member.data)
            throw LoadFailure(member.failure);
        return ParseInPlace(std::move(member));
    }
    return ParseInPlace(ReadDocumentFile(path));
}

std::string LoadFailureMessage(const std::string& path, const std::string& reason)
{
    return "Could not load the file " + path + (reason.empty() ? "" : ": " + reason);
}

std::string IndexFailureMessage(const std::string& path, const std::string& reason)
{
    return "Could not index the file " + path + ": " + reason;
}

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
            throw LoadFailure("no .arxml file or .zip archive in it");
        // Rows show where a file sits in the folder opened; files given one by one keep their paths.
        std::string shownFrom = together.empty() ? filePath : ".";
        return {nullptr, LoadWorkspace(paths, std::move(shownFrom), MachineThreads(), pool.StopFlag(),
                                       progress.get())};
    } catch (const std::bad_alloc&) {
        throw LoadFailure("not enough memory");
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
