// Any bytes as a .zip file: the archive reader and the viewer's state machine must agree on the
// member that is read, and neither may keep the archive open.
#include "FuzzSupport.h"

#include "document/ArchiveReader.h"
#include "support/OpenDescriptors.h"

#include <zip.h>

#include <sstream>
#include <stdexcept>

namespace {
// The reader allocates a member's declared size before inflating it. Without sanitizers a lying
// size only reserves address space (a 1 KB archive that declares 2 GB loads in 0.06 s and 6 MB),
// but AddressSanitizer backs every allocated byte with shadow memory: 30 s and an out-of-memory
// report for the same input. Such inputs say nothing about the program, so they are passed over.
constexpr zip_uint64_t kLargestDeclaredMember = zip_uint64_t(64) << 20;

bool DeclaresHugeMember(const std::string& path)
{
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, nullptr);
    if (!archive)
        return false;
    bool huge = false;
    zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count && !huge; ++i) {
        zip_stat_t stat;
        huge = zip_stat_index(archive, zip_uint64_t(i), 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) &&
               stat.size > kLargestDeclaredMember;
    }
    zip_discard(archive);
    return huge;
}

std::string Serialised(const pugi::xml_document& document)
{
    std::ostringstream text;
    document.save(text, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return text.str();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = WriteScratchFile("input.zip", data, size);
    if (DeclaresHugeMember(path))
        return -1; // not kept in the corpus

    // What the reader gives on its own, parsed the way the loader parses a member.
    pugi::xml_document expected;
    bool expectDocument = false;
    try {
        ArchiveMember member = ExtractFirstArxmlMember(path);
        if (member.data)
            expectDocument =
                expected.load_buffer(member.data.get(), member.size + 1).status == pugi::status_ok;
    } catch (const std::runtime_error&) {
        // not an archive: the state machine must fail as well
    }
    FUZZ_CHECK(OpenDescriptorsTo(path) == 0, "the archive reader left the archive open");

    std::shared_ptr<State> state = UpdateWhile(OpenInViewer(path), StateKind::Loading);
    FUZZ_CHECK(OpenDescriptorsTo(path) == 0, "loading left the archive open");
    if (!expectDocument) {
        FUZZ_CHECK(state->GetKind() == StateKind::Error,
                   "a document came from an archive the reader refused");
        FUZZ_CHECK(state->GetErrorMessage().rfind(kLoadFailure + path, 0) == 0,
                   "error: " + state->GetErrorMessage());
        return 0;
    }
    FUZZ_CHECK(state->GetKind() == StateKind::Indexing, "the member the reader gives was not loaded");
    FUZZ_CHECK(Serialised(*state->document) == Serialised(expected), "the viewer loaded another member");
    return 0;
}
