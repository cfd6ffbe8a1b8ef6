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

class FullTextSearch : public ::testing::Test
{
protected:
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
        return ClickRowButton(headless, "Full-Text Search", "Open in new window", "Show in main window");
    }

    TempDir files;
    HeadlessGui headless;
};
} // namespace

TEST_F(FullTextSearch, StatusLineSelectionAndCaseSwitch)
{
    ASSERT_TRUE(OpenDocument(headless, files.Write("search.arxml", Haystack(99, 60))));
    headless.gui.findText.shown = true;
    headless.Frame();
    headless.Frame();
    ASSERT_TRUE(Search("absent"));
    EXPECT_TRUE(Drew(headless, "Found 0 results."));
    EXPECT_EQ(Selected(), -1);
    ASSERT_TRUE(Search(""));
    std::string drawn = FrameText(headless);
    EXPECT_EQ(drawn.find(Squash("Found")), std::string::npos) << "an empty field shows no status line";
    EXPECT_EQ(drawn.find(Squash("Searching...")), std::string::npos);

    // The first hit may be selected in the frame after the search ended: capture until that frame.
    testing::internal::CaptureStdout();
    ASSERT_TRUE(Search("needle"));
    EXPECT_EQ(headless.gui.state->FullTextSearch("needle", false).GetValue().size(), 100u);
    drawn = FrameText(headless);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(drawn.find(Squash("Showing the first 100 results.")), std::string::npos);
    EXPECT_EQ(printed, "trigger\n") << "written once, when the first hit was selected";
    // The first hit is selected and previewed.
    EXPECT_EQ(Selected(), 0);
    EXPECT_NE(drawn.find(Squash("a needle")), std::string::npos);

    // Matching case restarts the search and keeps the selection, though row 99 is gone now:
    // the buttons are enabled but have nothing to act on.
    Selected() = 99;
    ASSERT_TRUE(ClickCaseSwitch());
    ASSERT_TRUE(headless.FramesUntil(
        [&] { return headless.gui.state->FullTextSearch("needle", true).status == ResultStatus::Done; }));
    EXPECT_TRUE(Drew(headless, "Found 99 results."));
    EXPECT_EQ(Selected(), 99);
    EXPECT_TRUE(ClickOpen());
    EXPECT_TRUE(headless.gui.elementWindows.entries.empty());

    // Editing the text drops the old selection; the new search's first hit is selected.
    ASSERT_TRUE(ClickButton(headless, "Full-Text Search", "##SearchText",
                            headless.FindWindow("Full-Text Search")->Rect().GetCenter().x));
    ASSERT_TRUE(Search("NEEDLE", true));
    EXPECT_TRUE(Drew(headless, "Found 60 results."));
    EXPECT_EQ(Selected(), 0);
    ASSERT_TRUE(ClickOpen());
    ASSERT_EQ(headless.gui.elementWindows.entries.size(), 1u);
    EXPECT_EQ(headless.gui.elementWindows.entries.back().path.rfind("/P/E", 0), 0u);

    // Back to the process-wide default for the tests that follow.
    ASSERT_TRUE(ClickCaseSwitch());
}
