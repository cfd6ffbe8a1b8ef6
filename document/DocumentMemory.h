#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

struct DocumentChunk;

// The memory of one document and of the tables kept beside it (its index's own lists): blocks
// carved from huge-page chunks that belong to this document alone, so that two documents loading
// at once never share a lock or a chunk, and a document's memory goes back in whole chunks, by
// whichever thread lets go of it last. Small documents read one after another may share an
// arena, each taking up the huge page the last one began, and go back together. A large document is hundreds
// of megabytes of nodes touched once while parsing; backing them with transparent huge pages cuts the page
// faults of a cold parse roughly in half. A chunk lives until the arena and every block carved from it are
// gone. Under AddressSanitizer, the parts of a chunk not handed out and every freed block are poisoned.
class DocumentArena
{
public:
    // Below this a document is not worth faulting in ahead; such documents share an arena well,
    // each filling the huge pages the last one left.
    static constexpr size_t kSmallDocumentBytes = size_t(32) << 20;

    DocumentArena() = default;
    ~DocumentArena();
    DocumentArena(const DocumentArena&) = delete;
    DocumentArena& operator=(const DocumentArena&) = delete;

    // While it lives, this thread's document memory comes from `arena` (the heap when null).
    // pugixml's allocation functions are the same for every thread: this is how each parse and
    // index build reaches its own document's arena.
    class Use
    {
    public:
        explicit Use(DocumentArena* arena);
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;

    private:
        DocumentArena* previous;
    };

    // This thread's arena, or null.
    static DocumentArena* Current();

    // A block of at least `size` bytes, 16-byte aligned, freed by FreeDocumentMemory; null when
    // no memory is left.
    void* Allocate(size_t size);

    // Starts bringing in the pages of the next chunks, about `bytes` in all, on a thread of its
    // own. Zeroing fresh pages is much of a big parse's time; done here it runs on the otherwise
    // idle core while the file is read and parsed. It stays only a few chunks ahead of the blocks
    // handed out, so a document whose nodes take far less than its text (long texts, blanks)
    // does not hold pages it never uses; chunks that the blocks outrun are mapped as before, and
    // no more are faulted in than `bytes` asks for. Call at most once.
    void FaultAhead(size_t bytes);

private:
    DocumentChunk* NextChunk(); // with `mutex` held
    void FaultChunks(size_t count);

    std::mutex mutex; // guards the members below
    DocumentChunk* current = nullptr;
    std::vector<DocumentChunk*> faulted; // chunks brought in ahead, oldest first, not yet used
    size_t chunksMade = 0;               // by either thread
    bool stopFaulting = false;
    std::condition_variable chunkTaken; // the faulter waits on it while it is far enough ahead
    std::thread faulter;
};

// pugixml's allocation functions, installed for the whole process (they are pugixml's globals):
// a block comes from this thread's arena (see DocumentArena::Use), or else from the heap, and
// finds its way back by a header of its own, whichever thread frees it.
void* AllocateDocumentMemory(size_t size);
void FreeDocumentMemory(void* block);
// Must run before the process allocates any document (the reading code does it during static
// initialisation), since a block is freed by the functions installed at that time.
void InstallDocumentMemory();

// Memory for the large tables built over a document (its index): blocks of a megabyte or more get
// a mapping of their own with huge pages, like the document, which spares most of the page faults
// and TLB misses of filling and probing them; smaller blocks come from the heap. `size` and
// `alignment` must be those that were asked for.
void* AllocateTableMemory(size_t size, size_t alignment = alignof(std::max_align_t));
void FreeTableMemory(void* block, size_t size, size_t alignment = alignof(std::max_align_t));

// Memory for a table made once at its final size and kept as long as its document, such as an
// index's own lists: blocks of a page up to a megabyte come from this thread's document arena.
// The tables of a folder of small files then share huge pages instead of each taking 4 KiB pages
// of the heap, whose TLB misses would slow every lookup that reads them.
void* AllocateKeptTableMemory(size_t size, size_t alignment = alignof(std::max_align_t));
void FreeKeptTableMemory(void* block, size_t size, size_t alignment = alignof(std::max_align_t));

// `Kept`: for a table of the kind above, never grown or shrunk after it is filled.
template <class T, bool Kept = false> struct TableAllocator
{
    using value_type = T;
    template <class U> struct rebind
    {
        using other = TableAllocator<U, Kept>;
    };

    TableAllocator() = default;
    template <class U> TableAllocator(const TableAllocator<U, Kept>&) {}

    T* allocate(size_t count)
    {
        if (count > size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        void* block = Kept ? AllocateKeptTableMemory(count * sizeof(T), alignof(T))
                           : AllocateTableMemory(count * sizeof(T), alignof(T));
        if (!block)
            throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* block, size_t count)
    {
        if (Kept)
            FreeKeptTableMemory(block, count * sizeof(T), alignof(T));
        else
            FreeTableMemory(block, count * sizeof(T), alignof(T));
    }

    template <class U> bool operator==(const TableAllocator<U, Kept>&) const { return true; }
};

template <class T> using TableVector = std::vector<T, TableAllocator<T>>;
template <class T> using KeptTableVector = std::vector<T, TableAllocator<T, true>>;
