#include "ui/TreePaths.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(Paging, PackageContainersAndLongListsArePagedAndPositionsMapToTheirPage)
{
    EXPECT_TRUE(IsPagedElement("AR-PACKAGES", 5, 20));
    EXPECT_TRUE(IsPagedElement("SUB-ELEMENTS", 25, 20));
    EXPECT_TRUE(IsPagedElement("ELEMENTS", 0, 20));
    EXPECT_FALSE(IsPagedElement("AR-PACKAGE", 40, 20));
    EXPECT_TRUE(IsPagedElement("AR-PACKAGE", 41, 20));

    EXPECT_EQ(PageCount(41, 20), 3);
    EXPECT_EQ(PageCount(40, 20), 2);
    EXPECT_EQ(PageCount(0, 20), 1);
    EXPECT_EQ(PageOfPosition(19, 20), 1);
    EXPECT_EQ(PageOfPosition(20, 20), 2);
    EXPECT_EQ(PageOfPosition(44, 20), 3);
    EXPECT_EQ(ClampPage(0, 3), 1);
    EXPECT_EQ(ClampPage(7, 3), 3);
    EXPECT_EQ(ClampPage(5, 0), 1);
}

TEST(SiblingLabel, PadsToTheDigitsOfTheCount)
{
    EXPECT_EQ(SiblingLabel(0, 150), "[001]");
    EXPECT_EQ(SiblingLabel(149, 150), "[150]");
    EXPECT_EQ(SiblingLabel(9, 10), "[10]");
    EXPECT_EQ(SiblingLabel(0, 41), "[01]");
}

namespace {
// One unit per byte, so the arithmetic of the tests is plain.
float ByteWidth(std::string_view text)
{
    return float(text.size());
}
} // namespace

TEST(TruncateFront, ShowsTheEndBehindAnEllipsisWithoutSplittingACharacter)
{
    const std::tuple<std::string, float, std::string> cases[] = {
        {"/A/B", 4, "/A/B"},
        {"", 0, ""},
        {"/Body/Can/Frame1", 10, ".../Frame1"},
        {"abcdef", 5, "...ef"},
        {"abcdef", 3, ""}, // not even the ellipsis fits
        {"abcdef", -20, ""},
        {"/\xc3\x84/\xc3\xb6x", 6, "...\xc3\xb6x"}, // "/Ä/ö" with two-byte letters
        {"/\xc3\x84/\xc3\xb6x", 5, "...x"},
    };
    for (const auto& [text, width, shown] : cases)
        EXPECT_EQ(TruncateFront(text, width, ByteWidth), shown) << text << " in " << width;
}

TEST(RowText, StopsAtTheFirstLineBreakAndBoundsLongTextsAtACharacterBoundary)
{
    TextSlice slice = RowText("first line\nsecond");
    EXPECT_EQ(slice.shown, "first line");
    EXPECT_TRUE(slice.cut);
    EXPECT_FALSE(RowText("one line").cut);

    const std::string text = std::string(10, 'a') + "\xc3\xa4rest";
    TextSlice bounded = RowText(text, 11); // byte 11 is inside the two-byte letter
    EXPECT_EQ(bounded.shown, std::string(10, 'a'));
    EXPECT_TRUE(bounded.cut);
    const std::string huge(1 << 20, 'x');
    EXPECT_EQ(RowText(huge).shown.size(), 400u);
}
