#include "document/ArchiveReader.h"

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <cstdint>

#include <cstring>
#include <stdexcept>

namespace {
struct ArchiveCloser
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct MemberCloser
{
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// Names are compared as the archive stores them, cut to 511 bytes.
bool NameQualifies(const char* name)
{
    std::string_view view(name, strnlen(name, 511));
    return view.find(".arxml") != std::string_view::npos;
}

// zlib counts in 32 bits: libzip's inflating of a single read over 4 GiB returns wrong bytes and a
// CRC error, so a large member is read in steps well below that.
constexpr zip_uint64_t kReadStep = zip_uint64_t(1) << 30;

// Reads exactly `size` bytes; a member that inflates to more or less than it declares fails.
bool ReadExactly(zip_t* archive, zip_uint64_t index, char* buffer, zip_uint64_t size)
{
    std::unique_ptr<zip_file_t, MemberCloser> file(zip_fopen_index(archive, index, 0));
    if (!file)
        return false;
    zip_uint64_t done = 0;
    while (done < size) {
        zip_int64_t got = zip_fread(file.get(), buffer + done, std::min(size - done, kReadStep));
        if (got <= 0)
            return false;
        done += zip_uint64_t(got);
    }
    char extra;
    return zip_fread(file.get(), &extra, 1) == 0; // 0 is the clean end; also where the CRC is checked
}
} // namespace

void DocumentBufferDeleter::operator()(char* p) const
{
    pugi::get_memory_deallocation_function()(p);
}

ArchiveMember ExtractFirstArxmlMember(const std::string& archivePath, ArchiveBudget& budget)
{
    int error = 0;
    std::unique_ptr<zip_t, ArchiveCloser> archive(zip_open(archivePath.c_str(), ZIP_RDONLY, &error));
    if (!archive) {
        zip_error_t reason;
        zip_error_init_with_code(&reason, error);
        std::string text = zip_error_strerror(&reason);
        zip_error_fini(&reason);
        throw std::runtime_error(text);
    }

    bool qualified = false;
    std::string refusal;
    zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), zip_uint64_t(i), 0, &stat) != 0)
            continue;
        if (!(stat.valid & ZIP_STAT_NAME) || !(stat.valid & ZIP_STAT_SIZE) || !NameQualifies(stat.name))
            continue;
        qualified = true;
        std::string refused =
            budget.Refusal(stat.size, (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0);
        if (!refused.empty() || stat.size >= SIZE_MAX) {
            refusal = refused.empty() ? "archive member too large" : refused;
            continue;
        }
        ArchiveMember member;
        member.reservation = budget.Reserve(stat.size);
        member.data.reset(static_cast<char*>(pugi::get_memory_allocation_function()(size_t(stat.size) + 1)));
        member.size = size_t(stat.size);
        if (!member.data) {
            refusal = "not enough memory";
            continue;
        }
        member.data.get()[stat.size] = '\0';
        if (ReadExactly(archive.get(), zip_uint64_t(i), member.data.get(), stat.size))
            return member;
    }
    ArchiveMember none;
    none.failure = !qualified         ? "no member with .arxml in its name"
                   : !refusal.empty() ? refusal
                                      : "archive damaged";
    return none;
}
