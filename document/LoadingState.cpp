#include "document/LoadingState.h"

#include "document/ArchiveReader.h"
#include "document/DocumentMemory.h"
#include "document/DocumentParser.h"
#include "document/WorkspaceLoadingState.h"
#include "model/IndexingState.h"
#include "platform/Platform.h"

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
        std::error_code ignored;
        if (std::filesystem::is_directory(path, ignored))
            return std::make_shared<WorkspaceLoadingState>(path);
        return std::make_shared<LoadingState>(path);
    } catch (const std::exception& e) {
        return std::make_shared<ErrorState>(path, LoadFailureMessage(path, e.what()));
    }
}

LoadingState::LoadingState(std::string filePath) : State(std::move(filePath), nullptr), pool(1)
{
    future = pool.Submit(&LoadingState::Load, this);
}

LoadingState::~LoadingState() = default;

void LoadingState::OpenFile(std::string path)
{
    State::OpenFile(std::move(path));
    pool.RequestStop();
}

std::shared_ptr<pugi::xml_document> LoadingState::Load()
{
    try {
        return ReadDocument(filePath);
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
    std::shared_ptr<pugi::xml_document> loaded;
    try {
        loaded = future.Get();
    } catch (const std::exception& e) {
        return std::make_shared<ErrorState>(filePath, LoadFailureMessage(filePath, e.what()));
    }
    try {
        return std::make_shared<IndexingState>(filePath, std::move(loaded));
    } catch (const std::exception& e) {
        return std::make_shared<ErrorState>(filePath, IndexFailureMessage(filePath, e.what()));
    }
}
