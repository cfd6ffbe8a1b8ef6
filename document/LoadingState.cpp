#include "document/LoadingState.h"

#include "document/ArchiveReader.h"
#include "document/DocumentMemory.h"
#include "model/IndexingState.h"
#include "platform/Platform.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace {
std::string Extension(const std::string& path)
{
    size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

// Before main: every document of the process comes from and returns to the same functions.
[[maybe_unused]] const bool documentMemoryInstalled = (InstallDocumentMemory(), true);

std::runtime_error LoadFailure(const std::string& path)
{
    return std::runtime_error("Could not load the file " + path);
}
} // namespace

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
    if (Extension(filePath) == "zip") {
        ArchiveMember member = ExtractFirstArxmlMember(filePath);
        if (!member.data)
            throw LoadFailure(filePath);
        auto document = std::make_shared<pugi::xml_document>();
        pugi::xml_parse_result parsed = document->load_buffer(member.data.get(), member.size);
        member.data.reset();
        if (parsed.status != pugi::status_ok)
            throw LoadFailure(filePath);
        return document;
    }

    // fopen succeeds on a directory here; reading it would fail in odd ways, so refuse it first.
    std::error_code ignored;
    const std::filesystem::path file = Platform::PathFromUtf8(filePath);
    if (std::filesystem::is_directory(file, ignored))
        throw LoadFailure(filePath);
    auto document = std::make_shared<pugi::xml_document>();
    if (document->load_file(file.c_str()).status != pugi::status_ok)
        throw LoadFailure(filePath);
    return document;
}

std::shared_ptr<State> LoadingState::Update()
{
    if (!pendingPath.empty())
        return std::make_shared<LoadingState>(pendingPath);
    if (!future.IsReady())
        return shared_from_this();
    std::shared_ptr<pugi::xml_document> loaded;
    try {
        loaded = future.Get();
    } catch (const std::exception&) {
        return std::make_shared<ErrorState>(filePath, "Could not load the file " + filePath);
    }
    return std::make_shared<IndexingState>(filePath, std::move(loaded));
}
