#include "HeadlessGui.h"
#include "WindowProbe.h"

#include "support/TestDocuments.h"
#include "ui/WindowPlacement.h"

#include <gtest/gtest.h>

namespace {
// The middle row's band of an area from (0, 0) to `area`, and whether a window overlaps it.
bool CoversMiddle(ImVec2 area, ImVec2 at, ImVec2 size, float band)
{
    const float middle = area.y / 2;
    return at.y < middle + band && at.y + size.y > middle - band && at.x < area.x / 2;
}

bool Inside(ImVec2 area, ImVec2 at, ImVec2 size)
{
    return at.x >= 0 && at.y >= 0 && at.x + size.x <= area.x + 0.5f && at.y + size.y <= area.y + 0.5f;
}
} // namespace

TEST(WindowPlacement, RightOfTheMiddleElseBelowOrAboveItElseAgainstTheRightEdge)
{
    const float band = 24;
    struct Case
    {
        ImVec2 area, size;
        bool coversMiddle;
    } cases[] = {
        {{1600, 900}, {672, 560}, false}, // right of the middle
        {{810, 972}, {560, 400}, false},  // below the middle row
        {{810, 972}, {560, 200}, false},  // below, with room to spare
        {{810, 972}, {672, 722}, true},   // no room anywhere: against the right edge
    };
    for (const Case& c : cases) {
        for (float stagger : {0.0f, 24.0f, 168.0f}) {
            const ImVec2 at = BesideMiddle(ImVec2(0, 0), c.area, c.size, band, stagger);
            EXPECT_TRUE(Inside(c.area, at, c.size)) << c.area.x << " " << c.size.x << " " << stagger;
            EXPECT_EQ(CoversMiddle(c.area, at, c.size, band), c.coversMiddle)
                << c.area.x << "x" << c.area.y << " " << c.size.x << "x" << c.size.y << " " << stagger;
        }
    }
    // Against the right edge the window hides as little of the left as it can.
    EXPECT_EQ(BesideMiddle(ImVec2(0, 0), ImVec2(810, 972), ImVec2(672, 722), band, 0).x, 810 - 672);
    // A window larger than the area starts at its top left corner.
    const ImVec2 huge = BesideMiddle(ImVec2(10, 20), ImVec2(300, 200), ImVec2(400, 400), band, 50);
    EXPECT_EQ(huge.x, 10);
    EXPECT_EQ(huge.y, 20);
}

TEST(WindowPlacement, ResultWindowsOpenBesideTheMiddleOfTheMainWindow)
{
    TempDir files;
    HeadlessGui headless;
    ASSERT_TRUE(OpenDocument(
        headless, files.Write("place.arxml", "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME>"
                                             "<ELEMENTS><ECU><SHORT-NAME>E</SHORT-NAME><R-REF>/P</R-REF>"
                                             "</ECU></ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>")));
    Gui& gui = headless.gui;
    OpenRefsWindow(gui, "/P");
    OpenElementWindow(gui, "/P/E");
    gui.findRef.shown = true;
    gui.findText.shown = true;
    headless.Frame();
    headless.Frame();
    const ImVec2 area = ImGui::GetMainViewport()->Size;
    const float band = ImGui::GetFontSize() + 2 * ImGui::GetStyle().FramePadding.y;
    for (const char* name : {"Refs to /P##0", "/P/E##1", "Find Ref", "Full-Text Search"}) {
        ImGuiWindow* window = headless.FindWindow(name);
        ASSERT_NE(window, nullptr) << name;
        EXPECT_FALSE(CoversMiddle(area, window->Pos, window->Size, band)) << name;
        EXPECT_TRUE(Inside(area, window->Pos, window->Size)) << name;
    }
}
