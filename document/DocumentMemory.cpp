#include "document/DocumentMemory.h"
#include "concurrency/ThreadStart.h"
#include "document/AddressSanitizer.h"
#include "platform/Platform.h"

#include <pugixml.hpp>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <system_error>

#if defined(TESSARO_ADDRESS_SANITIZER)
#define TESSARO_POISON(at, size) ASAN_POISON_MEMORY_REGION(at, size)
#define TESSARO_UNPOISON(at, size) ASAN_UNPOISON_MEMORY_REGION(at, size)
#else
#define TESSARO_POISON(at, size) ((void)(at), (void)(size))
#define TESSARO_UNPOISON(at, size) ((void)(at), (void)(size))
#endif

// Blocks not yet freed, and kOpen while the chunk is its arena's current one: the last of the
// two to go unmaps it, without a lock.
struct DocumentChunk
{
    char* base;
    size_t used;
    std::atomic<uint64_t> state;
};

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kChunkBytes = size_t(16) << 20; // blocks are carved from these
constexpr size_t kLargeBlock = size_t(1) << 20;  // at least this much gets a mapping of its own
// In an arena, less than this is carved from a chunk: the text of a small file then shares its
// huge pages with its nodes, where a mapping of its own would leave most of its last one unused.
constexpr size_t kLargeInChunk = kChunkBytes / 4;
constexpr size_t kHeader = 16; // keeps blocks 16-byte aligned
constexpr size_t kPage = 4096; // a kept table smaller than this shares the heap's pages anyway
constexpr uint64_t kOpen = uint64_t(1) << 63;
constexpr size_t kChunksAhead = 2; // what the faulter keeps ready: enough to stay ahead of a parse

// In front of every block: where it came from.
struct Header
{
    DocumentChunk* chunk; // its chunk; null for a mapping of its own; HeapMark() for the heap
    size_t bytes;         // the block's size in a chunk, the mapping's length, unused for the heap
};
static_assert(sizeof(Header) <= kHeader);

thread_local DocumentArena* currentArena = nullptr;

DocumentChunk* HeapMark()
{
    static char mark;
    return reinterpret_cast<DocumentChunk*>(&mark);
}

Header ReadHeader(char* start)
{
    TESSARO_UNPOISON(start, kHeader);
    return *reinterpret_cast<Header*>(start);
}

// The header is written, then hidden from the block's user.
void* Hand(char* start, Header header)
{
    new (start) Header(header);
    TESSARO_POISON(start, kHeader);
    return start + kHeader;
}

// A mapping of at least `size` bytes starting on a huge-page boundary (on Windows, on the
// allocation granularity of 64 KiB, more than any table asks for).
char* MapAligned(size_t size, size_t& mapped)
{
    mapped = (size + kHugePage - 1) / kHugePage * kHugePage;
    return static_cast<char*>(Platform::MapPages(mapped, kHugePage));
}

void Unmap(char* base, size_t mapped)
{
    TESSARO_UNPOISON(base, mapped); // the next mapping there starts clean
    Platform::UnmapPages(base, mapped);
}

void* AllocateLarge(size_t size)
{
    size_t mapped = 0;
    char* base = MapAligned(size + kHeader, mapped);
    if (!base)
        return nullptr;
    TESSARO_POISON(base + kHeader + size, mapped - kHeader - size);
    return Hand(base, {nullptr, mapped});
}

void* AllocateFromHeap(size_t size)
{
    char* base = static_cast<char*>(std::malloc(size + kHeader));
    return base ? Hand(base, {HeapMark(), 0}) : nullptr;
}

void Release(DocumentChunk* chunk, uint64_t part)
{
    if (chunk && chunk->state.fetch_sub(part, std::memory_order_acq_rel) == part) {
        Unmap(chunk->base, kChunkBytes);
        delete chunk;
    }
}
} // namespace

DocumentArena::~DocumentArena()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopFaulting = true;
    }
    chunkTaken.notify_all();
    if (faulter.joinable())
        faulter.join();
    for (DocumentChunk* chunk : faulted)
        Release(chunk, kOpen);
    Release(current, kOpen);
}

void DocumentArena::FaultAhead(size_t bytes)
{
    if (bytes < kSmallDocumentBytes)
        return; // a small document gains less than the thread costs
    const size_t count = bytes / kChunkBytes;
    try {
        faulter = StartThread([this, count] { FaultChunks(count); });
    } catch (const std::system_error&) {
        // no thread: the blocks fault their pages in themselves
    }
}

void DocumentArena::FaultChunks(size_t count)
{
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            chunkTaken.wait(lock, [this] { return stopFaulting || faulted.size() < kChunksAhead; });
            if (stopFaulting || chunksMade >= count)
                return;
            ++chunksMade;
        }
        size_t mapped = 0;
        char* base = MapAligned(kChunkBytes, mapped);
        auto* chunk = base ? new (std::nothrow) DocumentChunk{base, 0, {kOpen}} : nullptr;
        if (!chunk) {
            if (base)
                Platform::UnmapPages(base, mapped);
            return;
        }
        Platform::FaultInPages(base, kChunkBytes);
        TESSARO_POISON(base, kChunkBytes);
        std::lock_guard<std::mutex> lock(mutex);
        faulted.push_back(chunk);
    }
}

DocumentChunk* DocumentArena::NextChunk()
{
    if (!faulted.empty()) {
        DocumentChunk* chunk = faulted.front();
        faulted.erase(faulted.begin());
        chunkTaken.notify_one();
        return chunk;
    }
    size_t mapped = 0;
    char* base = MapAligned(kChunkBytes, mapped);
    if (!base)
        return nullptr;
    auto* fresh = new (std::nothrow) DocumentChunk{base, 0, {kOpen}};
    if (!fresh) {
        Platform::UnmapPages(base, mapped);
        return nullptr;
    }
    TESSARO_POISON(base, kChunkBytes);
    ++chunksMade;
    return fresh;
}

DocumentArena::Use::Use(DocumentArena* arena) : previous(currentArena)
{
    currentArena = arena;
}

DocumentArena::Use::~Use()
{
    currentArena = previous;
}

DocumentArena* DocumentArena::Current()
{
    return currentArena;
}

void* DocumentArena::Allocate(size_t size)
{
    if (size >= kLargeInChunk)
        return AllocateLarge(size);
    const size_t need = (size + kHeader + 15) & ~size_t(15);
    std::lock_guard<std::mutex> lock(mutex);
    if (!current || current->used + need > kChunkBytes) {
        DocumentChunk* fresh = NextChunk();
        if (!fresh)
            return nullptr;
        Release(current, kOpen);
        current = fresh;
    }
    char* block = current->base + current->used;
    current->used += need;
    current->state.fetch_add(1, std::memory_order_relaxed);
    TESSARO_UNPOISON(block, kHeader + size);
    return Hand(block, {current, size});
}

void* AllocateDocumentMemory(size_t size)
{
    if (DocumentArena* arena = currentArena)
        return arena->Allocate(size);
    return size >= kLargeBlock ? AllocateLarge(size) : AllocateFromHeap(size);
}

void FreeDocumentMemory(void* block)
{
    if (!block)
        return;
    char* start = static_cast<char*>(block) - kHeader;
    const Header header = ReadHeader(start);
    if (header.chunk == HeapMark()) {
        std::free(start);
    } else if (!header.chunk) {
        Unmap(start, header.bytes);
    } else {
        TESSARO_POISON(start, kHeader + header.bytes);
        Release(header.chunk, 1);
    }
}

void* AllocateTableMemory(size_t size, size_t alignment)
{
    // No header: the caller gives the size back, so a table of a power-of-two size fills its
    // huge pages exactly instead of spilling a few bytes into one more.
    if (size >= kLargeBlock) {
        size_t mapped = 0;
        char* base = MapAligned(size, mapped);
        if (base)
            TESSARO_POISON(base + size, mapped - size);
        return base;
    }
    if (alignment > alignof(std::max_align_t))
        return ::operator new(size == 0 ? 1 : size, std::align_val_t(alignment), std::nothrow);
    return std::malloc(size == 0 ? 1 : size);
}

void FreeTableMemory(void* block, size_t size, size_t alignment)
{
    if (size >= kLargeBlock) {
        if (block)
            Unmap(static_cast<char*>(block), (size + kHugePage - 1) / kHugePage * kHugePage);
        return;
    }
    if (alignment > alignof(std::max_align_t))
        ::operator delete(block, std::align_val_t(alignment));
    else
        std::free(block);
}

void* AllocateKeptTableMemory(size_t size, size_t alignment)
{
    if (size >= kPage && size < kLargeBlock && alignment <= kHeader)
        return AllocateDocumentMemory(size);
    return AllocateTableMemory(size, alignment);
}

void FreeKeptTableMemory(void* block, size_t size, size_t alignment)
{
    if (size >= kPage && size < kLargeBlock && alignment <= kHeader)
        FreeDocumentMemory(block);
    else
        FreeTableMemory(block, size, alignment);
}

void InstallDocumentMemory()
{
    pugi::set_memory_management_functions(AllocateDocumentMemory, FreeDocumentMemory);
}
