// tessaro-parse-baseline FILE: the fastest honest parse of a file we know, as a whole process, to
// time against `tessaro-query FILE stats`: stock pugixml parsing the file's bytes in place, every
// allocation (the file's buffer and the parser's pages) served from one mapping advised for huge
// pages, nothing freed piece by piece. Prints {"parse_s":...}; exits 1 when the file does not parse.
#include "platform/Platform.h"

#include <pugixml.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {
constexpr size_t kHugePage = size_t(2) << 20;

// One bump arena for the whole process; freeing is a no-op, as the process ends right after.
struct Arena
{
    char* base = nullptr;
    size_t size = 0;
    size_t used = 0;
} arena;

void* ArenaAllocate(size_t size)
{
    const size_t at = (arena.used + 15) & ~size_t(15);
    if (at + size > arena.size)
        return nullptr;
    arena.used = at + size;
    return arena.base + at;
}

void ArenaFree(void*) {}
} // namespace

// Seconds from opening the file to the parsed document; NaN when it cannot be read or parsed.
double HugePageParseSeconds(const std::string& path)
{
    const auto start = std::chrono::steady_clock::now();
    std::error_code error;
    const uint64_t fileSize = std::filesystem::file_size(Platform::PathFromUtf8(path), error);
    if (error)
        return NAN;
    // Room for the text and pugixml's nodes, which take a few times the text at most; the mapping
    // is only address space until the parser touches it.
    arena.size = (size_t(fileSize) * 6 + kHugePage * 8) & ~(kHugePage - 1);
    arena.base = static_cast<char*>(Platform::MapPages(arena.size, kHugePage));
    if (!arena.base)
        return NAN;
    pugi::set_memory_management_functions(ArenaAllocate, ArenaFree);

    char* text = static_cast<char*>(ArenaAllocate(size_t(fileSize) + 1));
    std::ifstream file(Platform::PathFromUtf8(path), std::ios::binary);
    if (!text || !file.read(text, std::streamsize(fileSize)))
        return NAN;
    // Never destroyed: the arena goes with the process.
    auto* document = new pugi::xml_document;
    if (!document->load_buffer_inplace(text, size_t(fileSize)))
        return NAN;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: tessaro-parse-baseline FILE\n");
        return 2;
    }
    const double seconds = HugePageParseSeconds(argv[1]);
    if (std::isnan(seconds)) {
        std::fprintf(stderr, "tessaro-parse-baseline: %s does not parse\n", argv[1]);
        return 1;
    }
    std::printf("{\"parse_s\":%.4f}\n", seconds);
    return 0;
}
