#include "ui/TreePaths.h"

#include <gtest/gtest.h>

TEST(ParentPath, DropsTheLastPieceAndStopsAtTheTop)
{
    EXPECT_EQ(ParentPath("/A/B/C"), "/A/B");
    EXPECT_EQ(ParentPath("/A"), "/");
    EXPECT_EQ(ParentPath("/"), "/");
    EXPECT_EQ(ParentPath(""), "/");
    EXPECT_EQ(ParentPath("//A//B/"), "/A");
}

TEST(Paging, PackageContainersAndLongListsArePaged)
{
    EXPECT_TRUE(IsPagedElement("AR-PACKAGES", 5, 20));
    EXPECT_TRUE(IsPagedElement("SUB-ELEMENTS", 25, 20));
    EXPECT_TRUE(IsPagedElement("ELEMENTS", 0, 20));
    EXPECT_FALSE(IsPagedElement("AR-PACKAGE", 40, 20));
    EXPECT_TRUE(IsPagedElement("AR-PACKAGE", 41, 20));
}

TEST(Paging, PagesCoverEveryChildAndPositionsMapToTheirPage)
{
    EXPECT_EQ(PageCount(41, 20), 3);
    EXPECT_EQ(PageCount(40, 20), 2);
    EXPECT_EQ(PageCount(0, 20), 1);
    EXPECT_EQ(PageOfPosition(0, 20), 1);
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
    EXPECT_EQ(SiblingLabel(4, 9), "[5]");
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

TEST(TruncateFront, KeepsTextThatFits)
{
    EXPECT_EQ(TruncateFront("/A/B", 4, ByteWidth), "/A/B");
    EXPECT_EQ(TruncateFront("", 0, ByteWidth), "");
}

TEST(TruncateFront, ShowsTheEndBehindAnEllipsis)
{
    EXPECT_EQ(TruncateFront("/Body/Can/Frame1", 10, ByteWidth), ".../Frame1");
    EXPECT_EQ(TruncateFront("abcdef", 5, ByteWidth), "...ef");
}

TEST(TruncateFront, NothingLeftWhenEvenTheEllipsisDoesNotFit)
{
    EXPECT_EQ(TruncateFront("abcdef", 3, ByteWidth), "");
    EXPECT_EQ(TruncateFront("abcdef", -20, ByteWidth), "");
}

TEST(TruncateFront, NeverSplitsAUtf8Character)
{
    // "/Ä/ö" with two-byte letters: a cut must not start inside one.
    const std::string text = "/\xc3\x84/\xc3\xb6x";
    std::string shown = TruncateFront(text, 6, ByteWidth);
    EXPECT_EQ(shown, "...\xc3\xb6x");
    shown = TruncateFront(text, 5, ByteWidth);
    EXPECT_EQ(shown, "...x");
}

TEST(RowText, StopsAtTheFirstLineBreak)
{
    TextSlice slice = RowText("first line\nsecond");
    EXPECT_EQ(slice.shown, "first line");
    EXPECT_TRUE(slice.cut);
    slice = RowText("one line");
    EXPECT_EQ(slice.shown, "one line");
    EXPECT_FALSE(slice.cut);
}

TEST(RowText, BoundsLongTextsAtACharacterBoundary)
{
    std::string text(10, 'a');
    text += "\xc3\xa4rest";
    TextSlice slice = RowText(text, 11); // byte 11 is inside the two-byte letter
    EXPECT_EQ(slice.shown, std::string(10, 'a'));
    EXPECT_TRUE(slice.cut);
    EXPECT_EQ(RowText(std::string(1 << 20, 'x')).shown.size(), 400u);
}
