#include "document/AddressSanitizer.h"
#include "document/DocumentMemory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {
struct Block
{
    unsigned char* bytes;
    size_t size;
    unsigned char fill;
};

constexpr size_t kMegabyte = size_t(1) << 20;

// Blocks of the sizes pugixml and the index ask for, `rounds` of 33 KiB and more, with a text
// of a megabyte and a mapping of their own among them. With `faultAhead`, chunks come in on the arena's own
// thread meanwhile.
std::vector<Block> FillFromOwnArena(unsigned char fill, int rounds, size_t faultAhead)
{
    DocumentArena arena;
    DocumentArena::Use use(&arena);
    arena.FaultAhead(faultAhead);
    std::vector<Block> blocks;
    for (int round = 0; round < rounds; ++round) {
        for (size_t size : {size_t(1), size_t(40), size_t(32768 + 64), kMegabyte, 5 * kMegabyte}) {
            if (size >= kMegabyte && round % 100 != 0)
                continue;
            auto* bytes = static_cast<unsigned char*>(AllocateDocumentMemory(size));
            EXPECT_EQ(reinterpret_cast<uintptr_t>(bytes) % 16, 0u);
            std::memset(bytes, fill, size);
            blocks.push_back({bytes, size, fill});
        }
    }
    return blocks; // the arena goes first: its chunks stay while their blocks do
}
} // namespace

// Two documents loading at once carve from arenas of their own; their blocks outlive the arenas
// and are freed by other threads, in any order. Under AddressSanitizer what no block owns is
// poisoned: the header before a block, the rest of a chunk, a freed block. The first arena has
// chunks faulted in ahead, more than its blocks take: those it never used go with it (the leak
// checker sees any that do not), those it did stay with their blocks.
TEST(DocumentArena, ArenasOfTwoThreadsStayApartAndAnyThreadFreesTheirBlocks)
{
    std::vector<Block> first, second;
    std::thread a([&] { first = FillFromOwnArena(0x5a, 1200, 96 * kMegabyte); });
    std::thread b([&] { second = FillFromOwnArena(0xa5, 300, 0); });
    a.join();
    b.join();
    for (const std::vector<Block>* blocks : {&first, &second}) {
        for (const Block& block : *blocks) {
            ASSERT_EQ(block.bytes[0], block.fill);
            ASSERT_EQ(block.bytes[block.size - 1], block.fill); // nothing overlaps it
#if defined(TESSARO_ADDRESS_SANITIZER)
            EXPECT_TRUE(__asan_address_is_poisoned(block.bytes - 1));
            EXPECT_TRUE(__asan_address_is_poisoned(block.bytes + block.size));
#endif
        }
    }
#if defined(TESSARO_ADDRESS_SANITIZER)
    FreeDocumentMemory(first[0].bytes);
    EXPECT_TRUE(__asan_address_is_poisoned(first[0].bytes));
    first.erase(first.begin());
#endif
    auto freeAll = [](const std::vector<Block>& blocks) {
        for (const Block& block : blocks)
            FreeDocumentMemory(block.bytes);
    };
    std::thread c([&] { freeAll(first); });
    std::thread d([&] { freeAll(second); });
    c.join();
    d.join();
}
