#include "query/HitContext.h"

#include <gtest/gtest.h>

TEST(HitContext, FortyBytesEachSideCutAtCharactersOnOneLine)
{
    const std::string text = std::string(50, 'a') + "NEEDLE" + std::string(50, 'b');
    HitContext context = ContextAround(text, 50, 6);
    EXPECT_EQ(context.before, std::string(40, 'a'));
    EXPECT_EQ(context.match, "NEEDLE");
    EXPECT_EQ(context.after, std::string(40, 'b'));

    // Short texts are shown whole; line breaks and tabs become blanks.
    context = ContextAround("one\ntwo\tNEEDLE\r\nend", 8, 6);
    EXPECT_EQ(context.before, "one two ");
    EXPECT_EQ(context.after, "  end");

    // A two-byte character across the cut is left out whole, on both sides.
    const std::string accented = "\xc3\xa9" + std::string(39, 'a') + "X" + std::string(39, 'b') + "\xc3\xa9";
    context = ContextAround(accented, 41, 1);
    EXPECT_EQ(context.before, std::string(39, 'a'));
    EXPECT_EQ(context.after, std::string(39, 'b'));
}

TEST(HitContext, FindsTheQueryIgnoringAsciiCaseUnlessAsked)
{
    EXPECT_EQ(FindQuery("my Needle here", "needle", false), 3u);
    EXPECT_EQ(FindQuery("my Needle here", "needle", true), std::nullopt);
    EXPECT_EQ(FindQuery("needle", "", false), std::nullopt);
    EXPECT_EQ(FindQuery("ne", "needle", false), std::nullopt);
}
