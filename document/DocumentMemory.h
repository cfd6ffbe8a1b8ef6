#pragma once

#include <cstddef>
#include <new>
#include <vector>

// Memory for parsed documents. A large document is hundreds of megabytes of nodes touched once
// while parsing; backing them with transparent huge pages cuts the page faults of a cold parse
// roughly in half.
void* AllocateDocumentMemory(size_t size);
void FreeDocumentMemory(void* block);

// Makes pugixml use the functions above. Must run before the process allocates any document
// (the loading state does it during static initialisation), since a block is freed by the
// functions installed at that time.
void InstallDocumentMemory();

// Memory for the large tables built over a document (its index): blocks of a megabyte or more get
// a mapping of their own with huge pages, like the document, which spares most of the page faults
// and TLB misses of filling and probing them; smaller blocks come from the heap. `size` must be
// the size that was asked for.
void* AllocateTableMemory(size_t size);
void FreeTableMemory(void* block, size_t size);

template <class T> struct TableAllocator
{
    using value_type = T;

    TableAllocator() = default;
    template <class U> TableAllocator(const TableAllocator<U>&) {}

    T* allocate(size_t count)
    {
        if (count > size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        void* block = AllocateTableMemory(count * sizeof(T));
        if (!block)
            throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* block, size_t count) { FreeTableMemory(block, count * sizeof(T)); }

    template <class U> bool operator==(const TableAllocator<U>&) const { return true; }
};

template <class T> using TableVector = std::vector<T, TableAllocator<T>>;
