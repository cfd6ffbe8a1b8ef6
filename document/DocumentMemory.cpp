#include "document/DocumentMemory.h"
#include "platform/Platform.h"

#include <pugixml.hpp>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

// gcc announces AddressSanitizer with a macro, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define TESSARO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSARO_ADDRESS_SANITIZER 1
#endif
#endif

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kChunkBytes = size_t(16)
                               << 20;           // small blocks (pugixml's 32 KiB pages) are carved from these
constexpr size_t kLargeBlock = size_t(1) << 20; // at least this much gets a mapping of its own
constexpr size_t kHeader = 16;                  // keeps blocks 16-byte aligned
constexpr size_t kPage = 4096; // a kept table smaller than this shares the heap's pages anyway

struct Chunk
{
    char* base;
    size_t used;
    size_t live; // blocks not yet freed; the chunk is unmapped when it reaches 0 and is not current
};

struct Header
{
    Chunk* chunk;  // null for a block with a mapping of its own
    size_t mapped; // length of that mapping
};
static_assert(sizeof(Header) <= kHeader);

std::mutex chunkMutex; // guards every Chunk and `current`
Chunk* current = nullptr;

// A mapping of at least `size` bytes starting on a huge-page boundary.
char* MapAligned(size_t size, size_t& mapped)
{
    mapped = (size + kHugePage - 1) / kHugePage * kHugePage;
    return static_cast<char*>(Platform::MapPages(mapped, kHugePage));
}

void* AllocateLarge(size_t size)
{
    size_t mapped = 0;
    char* base = MapAligned(size + kHeader, mapped);
    if (!base)
        return nullptr;
    new (base) Header{nullptr, mapped};
    return base + kHeader;
}

void* AllocateSmall(size_t size)
{
    size_t need = (size + kHeader + 15) & ~size_t(15);
    std::lock_guard<std::mutex> lock(chunkMutex);
    if (!current || current->used + need > kChunkBytes) {
        size_t mapped = 0;
        char* base = MapAligned(kChunkBytes, mapped);
        if (!base)
            return nullptr;
        Chunk* old = current;
        current = new (std::nothrow) Chunk{base, 0, 0};
        if (!current) {
            Platform::UnmapPages(base, mapped);
            current = old;
            return nullptr;
        }
        if (old && old->live == 0) {
            Platform::UnmapPages(old->base, kChunkBytes);
            delete old;
        }
    }
    char* block = current->base + current->used;
    current->used += need;
    ++current->live;
    new (block) Header{current, 0};
    return block + kHeader;
}
} // namespace

void* AllocateDocumentMemory(size_t size)
{
    return size >= kLargeBlock ? AllocateLarge(size) : AllocateSmall(size);
}

void FreeDocumentMemory(void* block)
{
    if (!block)
        return;
    Header* header = reinterpret_cast<Header*>(static_cast<char*>(block) - kHeader);
    if (!header->chunk) {
        Platform::UnmapPages(header, header->mapped);
        return;
    }
    Chunk* chunk = header->chunk;
    std::lock_guard<std::mutex> lock(chunkMutex);
    if (--chunk->live == 0) {
        if (chunk == current) {
            chunk->used = 0; // reuse the mapping for the next document
        } else {
            Platform::UnmapPages(chunk->base, kChunkBytes);
            delete chunk;
        }
    }
}

void* AllocateTableMemory(size_t size, size_t alignment)
{
    // Under AddressSanitizer the tables stay on the checked heap too.
    // No header: the caller gives the size back, so a table of a power-of-two size fills its
    // huge pages exactly instead of spilling a few bytes into one more.
#if !defined(TESSARO_ADDRESS_SANITIZER)
    if (size >= kLargeBlock) {
        size_t mapped = 0;
        return MapAligned(size, mapped);
    }
#endif
    if (alignment > alignof(std::max_align_t))
        return ::operator new(size == 0 ? 1 : size, std::align_val_t(alignment), std::nothrow);
    return std::malloc(size == 0 ? 1 : size);
}

void FreeTableMemory(void* block, [[maybe_unused]] size_t size, size_t alignment)
{
#if !defined(TESSARO_ADDRESS_SANITIZER)
    if (size >= kLargeBlock) {
        if (block)
            Platform::UnmapPages(block, (size + kHugePage - 1) / kHugePage * kHugePage);
        return;
    }
#endif
    if (alignment > alignof(std::max_align_t))
        ::operator delete(block, std::align_val_t(alignment));
    else
        std::free(block);
}

void* AllocateKeptTableMemory(size_t size, size_t alignment)
{
#if !defined(TESSARO_ADDRESS_SANITIZER)
    if (size >= kPage && size < kLargeBlock && alignment <= kHeader)
        return AllocateSmall(size);
#endif
    return AllocateTableMemory(size, alignment);
}

void FreeKeptTableMemory(void* block, size_t size, size_t alignment)
{
#if !defined(TESSARO_ADDRESS_SANITIZER)
    if (size >= kPage && size < kLargeBlock && alignment <= kHeader) {
        FreeDocumentMemory(block);
        return;
    }
#endif
    FreeTableMemory(block, size, alignment);
}

void InstallDocumentMemory()
{
    // Under AddressSanitizer documents stay on the checked heap, so that it sees their misuse.
#if !defined(TESSARO_ADDRESS_SANITIZER)
    pugi::set_memory_management_functions(AllocateDocumentMemory, FreeDocumentMemory);
#endif
}
