#include "HeadlessGui.h"
#include "WindowProbe.h"

#include "support/TestDocuments.h"
#include "ui/SearchWindowsText.h"

#include <gtest/gtest.h>

namespace {
// Fifteen referrers of /Pkg/Target; the last one has a name too long for the list's width.
std::string ManyReferrers()
{
    std::string xml = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>Pkg</SHORT-NAME><ELEMENTS>"
                      "<ECU><SHORT-NAME>Target</SHORT-NAME></ECU>";
    for (int i = 1; i <= 14; ++i)
        xml += "<ECU><SHORT-NAME>User" + std::to_string(i) + "</SHORT-NAME><T-REF>/Pkg/Target</T-REF></ECU>";
    xml +=
        "<ECU><SHORT-NAME>" + std::string(120, 'L') + "TailEnd</SHORT-NAME><T-REF>/Pkg/Target</T-REF></ECU>";
    return xml + "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>";
}
} // namespace

TEST(ReferrerCount, GroupsThousandsAndSaysReferrerForOne)
{
    EXPECT_EQ(GroupThousands(0), "0");
    EXPECT_EQ(GroupThousands(999), "999");
    EXPECT_EQ(GroupThousands(1000), "1,000");
    EXPECT_EQ(GroupThousands(11354), "11,354");
    EXPECT_EQ(GroupThousands(1234567), "1,234,567");
    EXPECT_EQ(ReferrerCount(1), "1 referrer");
    EXPECT_EQ(ReferrerCount(11354), "11,354 referrers");
}

TEST(RefsWindowRoom, ShowsTheCountTwelveRowsAndTheWholeTextOfACutRow)
{
    TempDir files;
    HeadlessGui headless;
    ASSERT_TRUE(OpenDocument(headless, files.Write("many.arxml", ManyReferrers())));
    Gui& gui = headless.gui;
    OpenRefsWindow(gui, "/Pkg/Target");
    ASSERT_TRUE(headless.FramesUntil(
        [&] { return gui.state->FindRefsTo("/Pkg/Target").status == ResultStatus::Done; }));

    const std::string drawn = FrameText(headless);
    EXPECT_NE(drawn.find(Squash("15 referrers")), std::string::npos) << drawn;
    int rows = 0;
    for (int i = 1; i <= 14; ++i)
        rows += drawn.find(Squash("/Pkg/User" + std::to_string(i) + " : T-REF")) != std::string::npos;
    EXPECT_GE(rows, 12) << "the list opens with room for twelve rows";

    // The long row is cut at the list's edge; hovering it shows all of it.
    ImGuiWindow* window = headless.FindWindow("Refs to /Pkg/Target##0");
    ASSERT_NE(window, nullptr);
    std::string longPath = "/Pkg/" + std::string(120, 'L') + "TailEnd";
    bool cutShownWhole = false;
    // Scroll the list to its end, then move over the rows until the tooltip shows the tail.
    for (ImGuiWindow* child : GImGui->Windows) {
        if (child->ParentWindow == window && !std::strstr(child->Name, "ScrollingRegion"))
            child->Scroll.y = child->ScrollMax.y + 1000;
    }
    EXPECT_FALSE(Drew(headless, "TailEnd")) << "the end of the long row is cut off";
    for (float y = window->Pos.y; y < window->Pos.y + window->Size.y / 2 && !cutShownWhole; y += 4) {
        ImGui::GetIO().MousePos = ImVec2(window->Pos.x + 40, y);
        cutShownWhole = Drew(headless, longPath + " : T-REF");
    }
    EXPECT_TRUE(cutShownWhole);
}
