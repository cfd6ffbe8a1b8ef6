#include "HeadlessGui.h"
#include "WindowProbe.h"

#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {
const char* kDocument = R"(<AUTOSAR>
  <AR-PACKAGES>
    <AR-PACKAGE><SHORT-NAME>Pkg</SHORT-NAME>
      <ELEMENTS>
        <ECU><SHORT-NAME>Elem</SHORT-NAME></ECU>
        <ECU><SHORT-NAME>Other</SHORT-NAME><TARGET-REF>/Pkg/Elem</TARGET-REF></ECU>
        <ECU><SHORT-NAME>Third</SHORT-NAME><DEEP><INNER-REF>/Pkg/Elem</INNER-REF></DEEP></ECU>
        <ECU><SHORT-NAME>Lonely</SHORT-NAME></ECU>
      </ELEMENTS>
    </AR-PACKAGE>
  </AR-PACKAGES>
</AUTOSAR>)";

class RefsWindow : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(OpenDocument(headless, files.Write("refs.arxml", kDocument))); }

    // The selection of the refs-to window at 1-based position `position` of the window list.
    int* Selection(int position, const WindowEntry& entry)
    {
        ImGuiWindow* outer = OuterWindow(headless);
        ImGuiID scope = ImHashData(&position, sizeof position, outer->ID);
        return outer->StateStorage.GetIntRef(
            ImHashStr((entry.path + "##" + entry.windowId).c_str(), 0, scope), -1);
    }

    bool ClickInWindow(const std::string& title, const char* label)
    {
        return ClickRowButton(headless, title, label, "Show in main window");
    }

    TempDir files;
    HeadlessGui headless;
};

} // namespace

TEST_F(RefsWindow, SelectsAndPreviewsTheFirstReferrer)
{
    Gui& gui = headless.gui;
    OpenRefsWindow(gui, "/Pkg/Elem");
    const WindowEntry entry = gui.refsWindows.entries.front();
    ASSERT_TRUE(headless.FramesUntil([&] { return *Selection(1, entry) == 0; }));

    std::string drawn = FrameText(headless);
    EXPECT_NE(drawn.find(Squash("Refs to /Pkg/Elem")), std::string::npos);
    EXPECT_NE(drawn.find(Squash("/Pkg/Other : TARGET-REF")), std::string::npos);
    EXPECT_NE(drawn.find(Squash("/Pkg/Third : INNER-REF")), std::string::npos);
    // The preview shows the referrer's element (its short name) opened down to the reference.
    EXPECT_EQ(Occurrences(drawn, "TARGET-REF"), 2);
    EXPECT_NE(drawn.find("Other"), drawn.rfind("Other"));

    Result<std::vector<Ref>> referrers = gui.state->FindRefsTo("/Pkg/Elem");
    ASSERT_EQ(referrers.status, ResultStatus::Done);
    ASSERT_TRUE(ClickInWindow("Refs to /Pkg/Elem##0", "Show in main window"));
    EXPECT_EQ(gui.tree.navigationTarget, referrers.GetValue()[0]->trail);
}

TEST_F(RefsWindow, WithoutReferrersStaysEmptyAndDisabled)
{
    Gui& gui = headless.gui;
    OpenRefsWindow(gui, "/Pkg/Lonely");
    ASSERT_TRUE(headless.FramesUntil(
        [&] { return gui.state->FindRefsTo("/Pkg/Lonely").status == ResultStatus::Error; }));

    const std::string drawn = FrameText(headless);
    EXPECT_NE(drawn.find(Squash("Refs to /Pkg/Lonely")), std::string::npos);
    EXPECT_EQ(drawn.find(Squash("No nodes reference")), std::string::npos) << "the list stays empty";
    EXPECT_EQ(*Selection(1, gui.refsWindows.entries.front()), -1);
    EXPECT_FALSE(ClickInWindow("Refs to /Pkg/Lonely##0", "Open in new window"));
    EXPECT_FALSE(ClickInWindow("Refs to /Pkg/Lonely##0", "Show in main window"));
    EXPECT_TRUE(gui.elementWindows.entries.empty());
    EXPECT_TRUE(gui.tree.navigationTarget.empty());
}

TEST_F(RefsWindow, WindowsForTheSamePathKeepTheirOwnSelection)
{
    Gui& gui = headless.gui;
    OpenRefsWindow(gui, "/Pkg/Elem");
    OpenRefsWindow(gui, "/Pkg/Elem");
    const WindowEntry first = gui.refsWindows.entries.front();
    const WindowEntry second = gui.refsWindows.entries.back();
    ASSERT_TRUE(
        headless.FramesUntil([&] { return *Selection(1, first) == 0 && *Selection(2, second) == 0; }));
    headless.Frame([] {
        ImGui::SetWindowPos("Refs to /Pkg/Elem##0", ImVec2(0, 300));
        ImGui::SetWindowPos("Refs to /Pkg/Elem##1", ImVec2(640, 300));
    });

    *Selection(2, second) = 1;
    ASSERT_TRUE(ClickInWindow("Refs to /Pkg/Elem##0", "Open in new window"));
    ASSERT_TRUE(ClickInWindow("Refs to /Pkg/Elem##1", "Open in new window"));
    ASSERT_EQ(gui.elementWindows.entries.size(), 2u);
    EXPECT_EQ(gui.elementWindows.entries.front().path, "/Pkg/Other");
    EXPECT_EQ(gui.elementWindows.entries.back().path, "/Pkg/Third");
}

TEST_F(RefsWindow, CloseButtonOfACollapsedWindowStillCloses)
{
    Gui& gui = headless.gui;
    OpenRefsWindow(gui, "/Pkg/Elem");
    headless.Frame();
    headless.Frame([] { ImGui::SetWindowCollapsed("Refs to /Pkg/Elem##0", true); });
    ImGuiWindow* window = headless.FindWindow("Refs to /Pkg/Elem##0");
    ASSERT_TRUE(window->Collapsed);
    const float x =
        window->Pos.x + window->Size.x - ImGui::GetStyle().FramePadding.x - ImGui::GetFontSize() / 2;
    ASSERT_TRUE(ClickButton(headless, "Refs to /Pkg/Elem##0", "#CLOSE", x));
    EXPECT_TRUE(gui.refsWindows.entries.empty());
}
