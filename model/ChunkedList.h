#pragma once

#include "document/DocumentMemory.h"

#include <cstddef>
#include <vector>

// A list that grows by whole blocks of table memory (a huge page each): nothing is copied as it
// grows, so a list of millions of entries writes each entry once and touches no page twice.
template <class T> class ChunkedList
{
public:
    static constexpr size_t kPerChunk = (size_t(2) << 20) / sizeof(T);

    void push_back(const T& value)
    {
        if (count % kPerChunk == 0)
            chunks.emplace_back().reserve(kPerChunk);
        chunks.back().push_back(value);
        ++count;
    }

    size_t size() const { return count; }
    const T& operator[](size_t i) const { return chunks[i / kPerChunk][i % kPerChunk]; }

    void Release()
    {
        std::vector<TableVector<T>>().swap(chunks);
        count = 0;
    }

private:
    std::vector<TableVector<T>> chunks;
    size_t count = 0;
};
