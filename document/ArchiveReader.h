#pragma once

#include "document/ArchiveBudget.h"

#include <cstdint>
#include <memory>
#include <string>

// Frees with the document memory functions, so that a parsed document can take the block over.
struct DocumentBufferDeleter
{
    void operator()(char* p) const;
};

struct ArchiveMember
{
    std::unique_ptr<char, DocumentBufferDeleter> data; // size bytes and a terminating zero
    size_t size = 0;
    std::string failure; // why no member was taken, when data is null
    // The member's share of the unpacking budget, held while it is parsed as well.
    ArchiveBudget::Reservation reservation;
};

// Extracts the first member, in central-directory order, whose name contains ".arxml" and
// whose data extracts cleanly to exactly its declared size within `budget`; a member that
// inflates to more is never read past that size. The block comes from the document memory
// functions (pugi::get_memory_allocation_function), ready for xml_document::load_buffer_inplace_own.
// Throws std::runtime_error with the archive library's reason when the file is no archive; returns
// an empty member with `failure` set ("no member with .arxml in its name", the budget's refusal,
// "archive damaged") when no member qualifies. The archive is closed on every path.
ArchiveMember ExtractFirstArxmlMember(const std::string& archivePath,
                                      ArchiveBudget& budget = ArchiveBudget::Shared());
