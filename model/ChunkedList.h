#pragma once

#include "document/DocumentMemory.h"

#include <bit>
#include <cstddef>
#include <vector>

// A list that grows by blocks instead of being copied as it grows: a list of millions of entries
// writes each entry once and touches no page twice. Blocks double from a few kilobytes up to a
// huge page each, so the lists of a small document stay small.
template <class T> class ChunkedList
{
public:
    static constexpr size_t kFirstChunk = sizeof(T) >= 4096 ? 1 : 4096 / sizeof(T);
    // The last size that still fits one huge page; every block after the growing ones has it.
    static constexpr unsigned kGrowingChunks = [] {
        unsigned doublings = 0;
        while ((kFirstChunk << (doublings + 1)) * sizeof(T) <= (size_t(2) << 20))
            ++doublings;
        return doublings;
    }();
    static constexpr size_t kLastChunk = kFirstChunk << kGrowingChunks;
    static constexpr size_t kInGrowingChunks = kFirstChunk * ((size_t(1) << kGrowingChunks) - 1);

    void push_back(const T& value)
    {
        if (chunks.empty() || chunks.back().size() == chunks.back().capacity()) {
            const size_t next = chunks.size();
            chunks.emplace_back().reserve(next < kGrowingChunks ? kFirstChunk << next : kLastChunk);
        }
        chunks.back().push_back(value);
        ++count;
    }

    size_t size() const { return count; }

    const T& operator[](size_t i) const
    {
        if (i < kInGrowingChunks) {
            // Block k starts at kFirstChunk * (2^k - 1).
            const size_t k = std::bit_width(i / kFirstChunk + 1) - 1;
            return chunks[k][i - kFirstChunk * ((size_t(1) << k) - 1)];
        }
        const size_t rest = i - kInGrowingChunks;
        return chunks[kGrowingChunks + rest / kLastChunk][rest % kLastChunk];
    }

    void Release()
    {
        std::vector<TableVector<T>>().swap(chunks);
        count = 0;
    }

private:
    std::vector<TableVector<T>> chunks;
    size_t count = 0;
};
