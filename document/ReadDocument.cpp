#include "document/ReadDocument.h"

#include "document/ArchiveReader.h"
#include "document/DocumentMemory.h"
#include "document/DocumentParser.h"
#include "platform/Platform.h"

#include <filesystem>
#include <stdexcept>

namespace {
std::string Extension(const std::string& path)
{
    size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

// Before main: every block pugixml allocates carries the header these functions free it by.
[[maybe_unused]] const bool documentMemoryInstalled = (InstallDocumentMemory(), true);

// The nodes of an ARXML text take more memory than the text (about 1.5 times for a catalogue of
// signals); a text's own size is a safe guess that seldom faults in more than the nodes use.
uint64_t NodeBytesFaultedAhead(uint64_t textBytes)
{
    return textBytes;
}

std::runtime_error LoadFailure(const std::string& reason)
{
    return std::runtime_error(reason);
}
} // namespace

std::shared_ptr<pugi::xml_document> ReadDocument(const std::string& path)
{
    return ReadDocument(path, nullptr);
}

std::shared_ptr<pugi::xml_document> ReadDocument(const std::string& path,
                                                 const std::shared_ptr<DocumentArena>& shared)
{
    // Opening a FIFO waits for a writer forever and a device never ends: only regular files (or
    // links to them) are read, in both branches.
    std::error_code ignored;
    auto status = std::filesystem::status(Platform::PathFromUtf8(path), ignored);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw LoadFailure("not a regular file");
    const bool zip = Extension(path) == "zip";
    const uintmax_t size = zip ? 0 : std::filesystem::file_size(Platform::PathFromUtf8(path), ignored);
    const bool small = !zip && !ignored && size < DocumentArena::kSmallDocumentBytes;
    // The text is read into the document's arena, as its nodes will be.
    auto arena = shared && small ? shared : std::make_shared<DocumentArena>();
    DocumentArena::Use use(arena.get());
    if (zip) {
        ArchiveMember member = ExtractFirstArxmlMember(path);
        if (!member.data)
            throw LoadFailure(member.failure);
        arena->FaultAhead(NodeBytesFaultedAhead(member.size));
        return ParseInPlace(std::move(member), std::move(arena));
    }
    // While the text is read, the pages of the nodes come in on the other core.
    if (!ignored)
        arena->FaultAhead(NodeBytesFaultedAhead(size));
    return ParseInPlace(ReadDocumentFile(path), std::move(arena));
}

std::string LoadFailureMessage(const std::string& path, const std::string& reason)
{
    return "Could not load the file " + path + (reason.empty() ? "" : ": " + reason);
}

std::string IndexFailureMessage(const std::string& path, const std::string& reason)
{
    return "Could not index the file " + path + ": " + reason;
}
