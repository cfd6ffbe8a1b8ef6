#pragma once

#include <cstdlib>
#include <memory>
#include <string>

struct FreeDeleter
{
    void operator()(char* p) const { std::free(p); }
};

struct ArchiveMember
{
    std::unique_ptr<char, FreeDeleter> data;
    size_t size = 0;
};

// Extracts the first member, in central-directory order, whose name contains ".arxml" and
// whose data extracts cleanly. Throws std::runtime_error("Failed to open ZIP archive") when the
// file is no archive; returns an empty member (null data) when no member qualifies.
// The archive is closed before returning, on every path.
ArchiveMember ExtractFirstArxmlMember(const std::string& archivePath);
