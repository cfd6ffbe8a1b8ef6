#include "document/DocumentParser.h"

#include "document/LineStarts.h"
#include "platform/Platform.h"

#include <atomic>
#include <stdexcept>

namespace {
std::atomic<bool> keepLineStarts{false};

// A document whose line starts are forgotten with it.
struct DocumentWithLines
{
    pugi::xml_document document;
    bool linesKept = false;

    ~DocumentWithLines()
    {
        if (linesKept)
            LineStarts::Forget(document);
    }
};
} // namespace

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

std::shared_ptr<pugi::xml_document> ParseInPlace(ArchiveMember text)
{
    auto holder = std::make_shared<DocumentWithLines>();
    std::shared_ptr<pugi::xml_document> document(holder, &holder->document);
    char* buffer = text.data.get();
    const size_t size = text.size;
    std::shared_ptr<const LineStarts> lines;
    if (keepLineStarts)
        lines = std::make_shared<const LineStarts>(buffer, size);
    // The NUL after the text goes in too, as pugixml's own file loading passes it: the parser
    // treats the last byte specially, and without it a file pugixml reads could be refused.
    pugi::xml_parse_result parsed = document->load_buffer_inplace_own(text.data.release(), size + 1);
    if (parsed.status == pugi::status_ok) {
        // Other encodings were converted into a new block, where offsets do not fit the text.
        if (lines && parsed.encoding == pugi::encoding_utf8) {
            LineStarts::Keep(*document, std::move(lines));
            holder->linesKept = true;
        }
        return document;
    }

    std::string reason = parsed.description();
    // UTF-8 is parsed where it lies, which keeps the line breaks before the error where they were;
    // other encodings are converted into a new block first, where the offset would not fit.
    if (parsed.encoding == pugi::encoding_utf8 && parsed.offset >= 0 && size_t(parsed.offset) <= size) {
        size_t line = 1;
        size_t lineStart = 0;
        for (size_t i = 0; i < size_t(parsed.offset); ++i) {
            if (buffer[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        }
        reason += " at line " + std::to_string(line) + ", column " +
                  std::to_string(size_t(parsed.offset) - lineStart + 1);
    }
    throw std::runtime_error(reason);
}
