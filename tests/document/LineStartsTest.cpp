#include "document/LineStarts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

// Against a plain count, at every offset of texts whose newlines fall on, just before and just
// after the 64 KiB block boundaries, in blocks without any, and in a run where every byte is one.
TEST(LineStarts, EveryOffsetGetsTheLineAPlainCountGives)
{
    std::mt19937 random(7);
    const size_t block = size_t(1) << 16;
    std::vector<std::string> texts{"", "\n", "x", "a\nb\n\nc"};
    std::string edges(3 * block + 10, 'x');
    for (size_t at : {block - 1, block, block + 1, 2 * block + 5, 3 * block + 9})
        edges[at] = '\n';
    texts.push_back(edges);
    std::string dense(2 * block, '\n');
    texts.push_back(dense);
    std::string sparse(5 * block, 'x');
    for (int i = 0; i < 500; ++i)
        sparse[random() % (2 * block)] = '\n'; // the last blocks hold none
    texts.push_back(sparse);

    for (const std::string& text : texts) {
        LineStarts lines(text.data(), text.size());
        size_t line = 1;
        for (size_t offset = 0; offset < text.size(); ++offset) {
            ASSERT_EQ(lines.LineAt(offset), line) << "offset " << offset << " of " << text.size();
            line += text[offset] == '\n';
        }
    }
}
