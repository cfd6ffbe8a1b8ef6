#include "document/DocumentParser.h"

#include "concurrency/ThreadStart.h"
#include "document/LineStarts.h"
#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {
std::atomic<bool> keepLineStarts{false};

// A document whose line starts are forgotten with it.
struct ParsedDocument : pugi::xml_document
{
    bool linesKept = false;
    std::string_view text; // where the nodes point, when parsed where it lies

    ~ParsedDocument()
    {
        if (linesKept)
            LineStarts::Forget(*this);
    }
};

// The document goes first, giving its pages back, then its hold on the arena.
struct ParsedDocumentDeleter
{
    std::shared_ptr<DocumentArena> arena;

    void operator()(pugi::xml_document* document)
    {
        delete static_cast<ParsedDocument*>(document);
        arena.reset();
    }
};
// Zeroing the fresh pages of a big text's buffer costs about as much as copying the text into
// it: a thread of its own brings them in, front to back, ahead of the reads, on the other core.
// Done before the buffer can go, whether the reads end or fail.
class PagesFaultedAhead
{
public:
    PagesFaultedAhead(char* buffer, size_t size)
    {
        if (size < kWorthAThread)
            return;
        try {
            faulter = StartThread([buffer, size] {
                for (size_t at = 0; at < size; at += kStep)
                    Platform::FaultInPages(buffer + at, std::min(kStep, size - at));
            });
        } catch (const std::system_error&) {
            // no thread: the reads fault the pages in themselves
        }
    }
    ~PagesFaultedAhead()
    {
        if (faulter.joinable())
            faulter.join();
    }
    PagesFaultedAhead(const PagesFaultedAhead&) = delete;
    PagesFaultedAhead& operator=(const PagesFaultedAhead&) = delete;

private:
    static constexpr size_t kWorthAThread = size_t(32) << 20;
    static constexpr size_t kStep = size_t(2) << 20; // the reads may pass it: pages fault in once
    std::thread faulter;
};
} // namespace

DocumentArena* ArenaOf(const std::shared_ptr<pugi::xml_document>& document)
{
    const ParsedDocumentDeleter* deleter = std::get_deleter<ParsedDocumentDeleter>(document);
    return deleter ? deleter->arena.get() : nullptr;
}

std::string_view ParsedTextOf(const std::shared_ptr<pugi::xml_document>& document)
{
    if (!std::get_deleter<ParsedDocumentDeleter>(document))
        return {};
    return static_cast<const ParsedDocument*>(document.get())->text;
}

void KeepLineStartsOfParsedDocuments(bool keep)
{
    keepLineStarts = keep;
}

ArchiveMember ReadDocumentFile(const std::string& path)
{
    Platform::ReadOnlyFile input(path);
    if (input.Size() >= SIZE_MAX)
        throw std::bad_alloc();
    ArchiveMember file;
    file.size = size_t(input.Size());
    file.data.reset(static_cast<char*>(pugi::get_memory_allocation_function()(file.size + 1)));
    if (!file.data)
        throw std::bad_alloc();
    PagesFaultedAhead ahead(file.data.get(), file.size);
    size_t done = 0;
    while (done < file.size) {
        size_t got = input.Read(file.data.get() + done, file.size - done);
        if (got == 0)
            break; // the file shrank while being read: parse what is there
        done += got;
    }
    file.size = done;
    file.data.get()[done] = '\0';
    return file;
}

std::shared_ptr<pugi::xml_document> ParseInPlace(ArchiveMember text, std::shared_ptr<DocumentArena> arena)
{
    DocumentArena::Use use(arena.get());
    auto* parsed = new ParsedDocument;
    std::shared_ptr<pugi::xml_document> document(parsed, ParsedDocumentDeleter{std::move(arena)});
    char* buffer = text.data.get();
    const size_t size = text.size;
    std::shared_ptr<const LineStarts> lines;
    if (keepLineStarts)
        lines = std::make_shared<const LineStarts>(buffer, size);
    // The NUL after the text goes in too, as pugixml's own file loading passes it: the parser
    // treats the last byte specially, and without it a file pugixml reads could be refused.
    pugi::xml_parse_result result = document->load_buffer_inplace_own(text.data.release(), size + 1);
    if (result.status == pugi::status_ok) {
        if (result.encoding == pugi::encoding_utf8)
            parsed->text = {buffer, size};
        // Other encodings were converted into a new block, where offsets do not fit the text.
        if (lines && result.encoding == pugi::encoding_utf8) {
            LineStarts::Keep(*document, std::move(lines));
            parsed->linesKept = true;
        }
        return document;
    }

    std::string reason = result.description();
    // UTF-8 is parsed where it lies, which keeps the line breaks before the error where they were;
    // other encodings are converted into a new block first, where the offset would not fit.
    if (result.encoding == pugi::encoding_utf8 && result.offset >= 0 && size_t(result.offset) <= size) {
        size_t line = 1;
        size_t lineStart = 0;
        for (size_t i = 0; i < size_t(result.offset); ++i) {
            if (buffer[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        }
        reason += " at line " + std::to_string(line) + ", column " +
                  std::to_string(size_t(result.offset) - lineStart + 1);
    }
    throw std::runtime_error(reason);
}
