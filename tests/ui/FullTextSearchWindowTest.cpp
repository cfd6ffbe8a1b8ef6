#include "HeadlessGui.h"
#include "WindowProbe.h"

#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {
// `lower` elements whose attribute holds "needle" and `upper` whose attribute holds "NEEDLE":
// one hit each, as neither the names nor the texts match.
std::string Haystack(int lower, int upper)
{
    std::string xml = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>";
    for (int i = 0; i < lower + upper; ++i) {
        xml += "<ECU T=\"";
        xml += i < lower ? "a needle" : "A NEEDLE";
        xml += "\"><SHORT-NAME>E" + std::to_string(i) + "</SHORT-NAME></ECU>";
    }
    return xml + "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>";
}

class FullTextSearchWindow : public ::testing::Test
{
protected:
    void Open(const std::string& xml)
    {
        ASSERT_TRUE(OpenDocument(headless, files.Write("search.arxml", xml)));
        headless.gui.showFindText = true;
        headless.Frame();
        headless.Frame();
    }

    // Types a query and draws frames until the window's search has ended.
    bool Search(const std::string& text, bool matchCase = false)
    {
        TypeText(headless, text);
        return headless.FramesUntil(
            [&] { return headless.gui.state->FullTextSearch(text, matchCase).status == ResultStatus::Done; });
    }

    int& Selected()
    {
        ImGuiWindow* outer = OuterWindow(headless);
        return *outer->StateStorage.GetIntRef(ImHashStr("Full-Text Search", 0, outer->ID), -1);
    }

    bool ClickCaseSwitch()
    {
        ImGuiWindow* window = headless.FindWindow("Full-Text Search");
        const float width = ImGui::CalcTextSize("Cc").x + 2 * ImGui::GetStyle().FramePadding.x;
        return ClickButton(headless, "Full-Text Search", "Cc",
                           window->ContentRegionRect.Max.x + 5 - width / 2,
                           "Match case"); // the action button's tooltip scopes its ID
    }

    bool ClickOpen()
    {
        ImGuiWindow* window = headless.FindWindow("Full-Text Search");
        return ClickButton(headless, "Full-Text Search", "Open in new window",
                           SecondToRightButtonX(window, "Open in new window", "Show in main window"));
    }

    TempDir files;
    HeadlessGui headless;
};
} // namespace

TEST_F(FullTextSearchWindow, StatusLineCountsTheHits)
{
    Open(Haystack(150, 0));

    ASSERT_TRUE(Search("absent"));
    EXPECT_NE(FrameText(headless).find(Squash("Found 0 results.")), std::string::npos);
    EXPECT_EQ(Selected(), -1);

    testing::internal::CaptureStdout();
    ASSERT_TRUE(Search("needle"));
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(headless.gui.state->FullTextSearch("needle", false).GetValue().size(), 100u);
    EXPECT_NE(FrameText(headless).find(Squash("Showing the first 100 results.")), std::string::npos);
    EXPECT_EQ(printed, "trigger\n") << "written once, when the first hit was selected";
    EXPECT_EQ(Selected(), 0);
}

TEST_F(FullTextSearchWindow, NinetyNineHitsAreAllFound)
{
    Open(Haystack(99, 0));
    ASSERT_TRUE(Search("needle"));
    std::string drawn = FrameText(headless);
    EXPECT_NE(drawn.find(Squash("Found 99 results.")), std::string::npos);
    // The first hit is selected and previewed: only the preview shows the matching attribute.
    EXPECT_EQ(Selected(), 0);
    EXPECT_NE(drawn.find(Squash("a needle")), std::string::npos);
}

TEST_F(FullTextSearchWindow, EmptyFieldShowsNothing)
{
    Open(Haystack(3, 0));
    ASSERT_TRUE(Search("needle"));
    ASSERT_TRUE(Search(""));
    std::string drawn = FrameText(headless);
    EXPECT_EQ(drawn.find(Squash("Found")), std::string::npos);
    EXPECT_EQ(drawn.find(Squash("Searching...")), std::string::npos);
    // The empty query is answered at once with no hits: the buttons are live but have nothing to open.
    EXPECT_TRUE(ClickOpen());
    EXPECT_TRUE(headless.gui.elementWindows.empty());
}

TEST_F(FullTextSearchWindow, CaseSwitchRestartsTheSearchAndKeepsTheSelection)
{
    Open(Haystack(3, 2));
    ASSERT_TRUE(Search("needle"));
    EXPECT_NE(FrameText(headless).find(Squash("Found 5 results.")), std::string::npos);
    Selected() = 4;

    ASSERT_TRUE(ClickCaseSwitch());
    ASSERT_TRUE(headless.FramesUntil(
        [&] { return headless.gui.state->FullTextSearch("needle", true).status == ResultStatus::Done; }));
    EXPECT_NE(FrameText(headless).find(Squash("Found 3 results.")), std::string::npos);
    EXPECT_EQ(Selected(), 4);
    // Row 4 is gone: the buttons are enabled but have nothing to act on.
    EXPECT_TRUE(ClickOpen());
    EXPECT_TRUE(headless.gui.elementWindows.empty());

    // Editing the text drops the old selection; the new search's first hit is selected.
    ASSERT_TRUE(ClickButton(headless, "Full-Text Search", "##SearchText",
                            headless.FindWindow("Full-Text Search")->Rect().GetCenter().x));
    ASSERT_TRUE(Search("NEEDLE", true));
    EXPECT_NE(FrameText(headless).find(Squash("Found 2 results.")), std::string::npos);
    EXPECT_EQ(Selected(), 0);
    ASSERT_TRUE(ClickOpen());
    ASSERT_EQ(headless.gui.elementWindows.size(), 1u);
    EXPECT_EQ(headless.gui.elementWindows.back().path.rfind("/P/E", 0), 0u);

    // Back to the process-wide default for the tests that follow.
    ASSERT_TRUE(ClickCaseSwitch());
}
