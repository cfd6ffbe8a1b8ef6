#include "model/ChunkedList.h"

#include <gtest/gtest.h>

#include <cstdint>

// Entries on both sides of each chunk boundary keep their place and value, in the growing blocks
// and in the full-sized ones after them.
TEST(ChunkedList, EntriesKeepTheirPlaceAcrossChunks)
{
    struct Entry
    {
        uint64_t value;
        uint32_t check;
    };
    ChunkedList<Entry> list;
    const size_t count = ChunkedList<Entry>::kInGrowingChunks + 2 * ChunkedList<Entry>::kLastChunk + 3;
    for (size_t i = 0; i < count; ++i)
        list.push_back({i * 7, uint32_t(i)});
    ASSERT_EQ(list.size(), count);
    for (size_t i = 0; i < count; ++i) {
        ASSERT_EQ(list[i].value, i * 7) << i;
        ASSERT_EQ(list[i].check, uint32_t(i)) << i;
    }
    list.Release();
    EXPECT_EQ(list.size(), 0u);
    list.push_back({5, 5});
    EXPECT_EQ(list[0].value, 5u);
}
