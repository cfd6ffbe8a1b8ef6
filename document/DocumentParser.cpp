#include "document/DocumentParser.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::runtime_error SystemFailure()
{
    return std::runtime_error(std::strerror(errno));
}

struct FileCloser
{
    int fd;
    ~FileCloser() { ::close(fd); }
};
} // namespace

ArchiveMember ReadDocumentFile(const std::string& path)
{
    // Non-blocking, so a FIFO that slipped past the caller's check cannot hold the open.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw SystemFailure();
    FileCloser closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0)
        throw SystemFailure();
    if (!S_ISREG(info.st_mode))
        throw std::runtime_error("not a regular file");

    ArchiveMember file;
    file.size = size_t(info.st_size);
    file.data.reset(static_cast<char*>(pugi::get_memory_allocation_function()(file.size + 1)));
    if (!file.data)
        throw std::bad_alloc();
    size_t done = 0;
    while (done < file.size) {
        ssize_t got = ::read(fd, file.data.get() + done, file.size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw SystemFailure();
        if (got == 0)
            break; // the file shrank while being read: parse what is there
        done += size_t(got);
    }
    file.size = done;
    file.data.get()[done] = '\0';
    return file;
}

std::shared_ptr<pugi::xml_document> ParseInPlace(ArchiveMember text)
{
    auto document = std::make_shared<pugi::xml_document>();
    char* buffer = text.data.get();
    const size_t size = text.size;
    pugi::xml_parse_result parsed = document->load_buffer_inplace_own(text.data.release(), size);
    if (parsed.status == pugi::status_ok)
        return document;

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
