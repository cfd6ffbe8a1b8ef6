#include "HeadlessGui.h"
#include "WindowProbe.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// 50 signals in one package (three pages of 20) and a second package with a nested element.
std::string Signals()
{
    std::string xml = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>";
    for (int i = 1; i <= 50; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "Sig%02d", i);
        xml += std::string("<I-SIGNAL><SHORT-NAME>") + name + "</SHORT-NAME><LENGTH>8</LENGTH></I-SIGNAL>";
    }
    xml += "</ELEMENTS></AR-PACKAGE><AR-PACKAGE><SHORT-NAME>Q</SHORT-NAME><ELEMENTS>"
           "<FRAME><SHORT-NAME>Frame</SHORT-NAME></FRAME>"
           "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>";
    return xml;
}

class FilterBar : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(OpenDocument(headless, files.Write("signals.arxml", Signals()))); }

    // Types into the filter field and waits until the count beside it shows `count` and the tree
    // shows the answer to this very query (or none, for a query that fails).
    bool Filter(const std::string& text, const std::string& count)
    {
        Gui& gui = headless.gui;
        gui.filterBar.focus = true; // taken a frame after asking, and kept a frame later
        headless.Frame();
        headless.Frame();
        TypeText(headless, text);
        return headless.FramesUntil(
            [&] {
                return Drew(headless, count) &&
                       (!gui.filterBar.shown || gui.filterBar.shownQuery == gui.filterBar.query);
            },
            30);
    }

    TempDir files;
    HeadlessGui headless;
};

} // namespace

TEST_F(FilterBar, TypingKeepsTheMatchesAndTheirAncestorsAndClearingRestoresTheTree)
{
    const std::string before = MainWindowText(headless);
    ASSERT_TRUE(Filter("sig07", "1 match"));
    std::string text = MainWindowText(headless);
    EXPECT_NE(text.find("Sig07"), std::string::npos) << "the way down opens by itself";
    EXPECT_EQ(text.find("Sig08"), std::string::npos);
    EXPECT_EQ(text.find("Frame"), std::string::npos) << "the other package holds no match";
    EXPECT_EQ(text.find("AR-PACKAGE ["), text.rfind("AR-PACKAGE [")) << "one package row only";
    EXPECT_NE(text.find("[07]"), std::string::npos) << "the match keeps its place among all 50";
    ImGuiWindow* region = ScrollingRegionOf("XML Tree View");
    ASSERT_NE(region, nullptr);
    EXPECT_GT(VerticesInColour(region, headless.gui.highlightColor), 0) << "the matched part is marked";

    // The kept rows fold like any other.
    const ImVec2 label = TextPosition(headless, "ELEMENTS");
    ImGui::GetIO().MousePos = ImVec2(label.x - ImGui::CalcTextSize("ELEMENTS").x - 12, label.y);
    PressAndRelease(headless);
    ImGui::GetIO().MousePos = ImVec2(-FLT_MAX, -FLT_MAX);
    headless.Frame();
    EXPECT_EQ(MainWindowText(headless).find("Sig07"), std::string::npos);

    // Paging applies to the kept children: 50 matches are three pages.
    ASSERT_TRUE(Filter("SIG", "50 matches"));
    text = MainWindowText(headless);
    EXPECT_NE(text.find("1 / 3"), std::string::npos);

    ASSERT_TRUE(Filter("nothing-like-this", "0 matches"));
    EXPECT_TRUE(Drew(headless, "No element matches the filter."));

    TypeText(headless, "");
    headless.Frame();
    const std::string after = MainWindowText(headless);
    EXPECT_EQ(after, before) << "the tree and its open rows are back";
}

TEST_F(FilterBar, WholePathAndRegularExpressionTogglesAndABadExpression)
{
    headless.gui.filterBar.query.wholePath = true;
    ASSERT_TRUE(Filter("/q/fr", "1 match"));
    EXPECT_NE(MainWindowText(headless).find("Frame"), std::string::npos);

    headless.gui.filterBar.query.wholePath = false;
    headless.gui.filterBar.query.regex = true;
    ASSERT_TRUE(Filter("^sig0[1-3]$", "3 matches"));
    ASSERT_TRUE(Filter("(", "missing"));

    // A reveal shows the whole tree, filtered or not.
    ASSERT_TRUE(Filter("^Frame$", "1 match"));
    Result<Ref> target = headless.gui.state->FindRef("/P/Sig40");
    ASSERT_EQ(target.status, ResultStatus::Done);
    headless.gui.Reveal(target.GetValue()->trail, "/P/Sig40");
    headless.Frame();
    EXPECT_NE(MainWindowText(headless).find("Sig40"), std::string::npos);
}

namespace {
// A folder of three files: "Speed" in the first two, "UInt8" in the third, and one that fails.
class FolderTreeFilterBar : public FilterBar
{
protected:
    void SetUp() override { ASSERT_TRUE(OpenSampleWorkspace(headless, files)); }
};
} // namespace

TEST_F(FolderTreeFilterBar, MatchesOfEveryFileShowUnderTheirFilesRowAndClearingRestoresTheList)
{
    const std::string before = MainWindowText(headless);
    ASSERT_NE(before.find("c.arxml"), std::string::npos);

    ASSERT_TRUE(Filter("speed", "2 matches"));
    std::string text = MainWindowText(headless);
    EXPECT_NE(text.find("a.arxml"), std::string::npos);
    EXPECT_NE(text.find("b.arxml"), std::string::npos);
    EXPECT_EQ(text.find("c.arxml"), std::string::npos) << "a file without a match is not listed";
    EXPECT_EQ(text.find("d.arxml"), std::string::npos);
    EXPECT_EQ(Occurrences(text, "1 match"), 2) << "each file row counts its own matches";
    EXPECT_EQ(Occurrences(text, "Speed"), 2) << "both files' rows open down to their match";
    EXPECT_EQ(text.find("Door"), std::string::npos);

    // Paths are each file's own: the third file's type is found by its path.
    headless.gui.filterBar.query.wholePath = true;
    ASSERT_TRUE(Filter("/types/u", "1 match"));
    text = MainWindowText(headless);
    EXPECT_NE(text.find("UInt8"), std::string::npos);
    EXPECT_EQ(text.find("a.arxml"), std::string::npos);

    ASSERT_TRUE(Filter("nothing-like-this", "0 matches"));
    EXPECT_TRUE(Drew(headless, "No element matches the filter."));

    TypeText(headless, "");
    headless.Frame();
    EXPECT_EQ(MainWindowText(headless), before) << "every file row is back, closed as before";
}
