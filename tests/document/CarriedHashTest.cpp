#include "document/CarriedHash.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

// A path's hash is carried on from its parent's, a lookup hashes the whole key at once: any
// difference between the two would make a key that is there unfindable.
TEST(CarriedHash, TheSameBytesGiveTheSameHashHoweverTheyAreSplit)
{
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 70, '\0');
        for (char& c : bytes)
            c = char(random() % 4 == 0 ? '/' : random() % 256);
        const uint64_t whole = CarriedHash::Of(bytes);
        CarriedHash pieces;
        for (size_t at = 0; at < bytes.size();) {
            size_t take = std::min<size_t>(random() % 12, bytes.size() - at);
            pieces.Append(std::string_view(bytes).substr(at, take));
            at += take;
        }
        ASSERT_EQ(pieces.Finish(), whole) << "length " << bytes.size();
    }
}

// Bytes that are not yet a whole word, and the length, must count: "a" and "a\0", or "" and
// "\0\0\0\0\0\0\0\0", would otherwise share a hash, and so would every key with every prefix of it.
TEST(CarriedHash, ShortStringsAndTrailingZeroBytesGiveDifferentHashes)
{
    const std::string alphabet("\0a/\xff", 4);
    std::set<std::string> strings{""};
    for (int length = 1; length <= 4; ++length) {
        std::set<std::string> longer;
        for (const std::string& s : strings)
            for (char c : alphabet)
                longer.insert(s + c);
        strings.insert(longer.begin(), longer.end());
    }
    for (int zeros = 5; zeros <= 17; ++zeros)
        strings.insert(std::string(size_t(zeros), '\0'));
    std::set<uint64_t> hashes;
    for (const std::string& s : strings)
        hashes.insert(CarriedHash::Of(s));
    EXPECT_EQ(hashes.size(), strings.size());
}
