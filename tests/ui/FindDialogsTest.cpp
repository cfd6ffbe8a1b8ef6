#include "HeadlessGui.h"
#include "WindowProbe.h"

#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {
// /Pkg/Elem lies deep enough that the main tree does not show it until something reveals it.
const char* kDocument = R"(<AUTOSAR>
  <AR-PACKAGES>
    <AR-PACKAGE><SHORT-NAME>Pkg</SHORT-NAME>
      <ELEMENTS>
        <ECU><SHORT-NAME>Elem</SHORT-NAME><DESC>Target here</DESC></ECU>
        <ECU><SHORT-NAME>Other</SHORT-NAME><TARGET-REF>/Pkg/Elem</TARGET-REF></ECU>
      </ELEMENTS>
    </AR-PACKAGE>
    <AR-PACKAGE><SHORT-NAME>Second</SHORT-NAME>
      <ELEMENTS>
        <ECU><SHORT-NAME>elem</SHORT-NAME></ECU>
        <ECU><SHORT-NAME>Elem</SHORT-NAME></ECU>
      </ELEMENTS>
    </AR-PACKAGE>
  </AR-PACKAGES>
</AUTOSAR>)";

class FindDialogs : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(OpenDocument(headless, files.Write("find.arxml", kDocument))); }

    // Shows a dialog, lets its field take the focus and types into it.
    void ShowAndType(bool& flag, const std::string& text)
    {
        flag = true;
        headless.Frame();
        headless.Frame();
        TypeText(headless, text);
    }

    bool Click(const char* window, const char* label, const char* rightLabel)
    {
        ImGuiWindow* found = headless.FindWindow(window);
        if (!found)
            return false;
        float x = std::string(label) == rightLabel ? RightButtonX(found, label)
                                                   : SecondToRightButtonX(found, label, rightLabel);
        return ClickButton(headless, window, label, x);
    }

    TempDir files;
    HeadlessGui headless;
};
} // namespace

TEST_F(FindDialogs, FindRefAddsTheMissingSlashAndOpensThatPath)
{
    ShowAndType(headless.gui.showFindRef, "Pkg/Elem");
    std::string drawn = FrameText(headless);
    EXPECT_NE(drawn.find(Squash("Please enter a reference:")), std::string::npos);
    EXPECT_EQ(drawn.find(Squash("Could not find the ref.")), std::string::npos);

    ASSERT_TRUE(Click("Find Ref", "Open in new window", "Jump to Ref"));
    ASSERT_EQ(headless.gui.elementWindows.size(), 1u);
    EXPECT_EQ(headless.gui.elementWindows.back().path, "/Pkg/Elem");
    EXPECT_TRUE(headless.gui.showFindRef) << "the dialog stays open after a button";
}

TEST_F(FindDialogs, JumpToRefRevealsTheElementInTheMainTree)
{
    ShowAndType(headless.gui.showFindRef, "/Pkg/Elem");
    EXPECT_EQ(FrameText(headless).find(Squash("Target here")), std::string::npos);

    // The main tree takes the target in the same frame as the click and opens down to it.
    ASSERT_TRUE(Click("Find Ref", "Jump to Ref", "Jump to Ref"));
    EXPECT_TRUE(headless.gui.navigationTarget.empty());
    EXPECT_NE(FrameText(headless).find(Squash("Target here")), std::string::npos);
}

TEST_F(FindDialogs, FindRefWithTrailingSlashIsNotFound)
{
    ShowAndType(headless.gui.showFindRef, "/Pkg/Elem/");
    EXPECT_NE(FrameText(headless).find(Squash("Could not find the ref.")), std::string::npos);
    EXPECT_FALSE(Click("Find Ref", "Open in new window", "Jump to Ref"));
    EXPECT_FALSE(Click("Find Ref", "Jump to Ref", "Jump to Ref"));
    EXPECT_TRUE(headless.gui.elementWindows.empty());
}

TEST_F(FindDialogs, FindShortnameIsExactAndCaseSensitive)
{
    // A prefix is no match; the message of the lookup is shown as it is.
    ShowAndType(headless.gui.showFindShortname, "Ele");
    std::string drawn = FrameText(headless);
    EXPECT_NE(drawn.find(Squash("Please enter a shortname:")), std::string::npos);
    EXPECT_NE(drawn.find(Squash("Could not find such an element.")), std::string::npos);
    EXPECT_FALSE(Click("Find Shortname", "Open in new window", "Show in main window"));

    TypeText(headless, "elem");
    EXPECT_EQ(FrameText(headless).find(Squash("Could not find")), std::string::npos);
    ASSERT_TRUE(Click("Find Shortname", "Open in new window", "Show in main window"));
    ASSERT_EQ(headless.gui.elementWindows.size(), 1u);
    EXPECT_EQ(headless.gui.elementWindows.back().path, "/Second/elem");

    // Of two equal short names the first in document order wins.
    ASSERT_TRUE(ClickButton(headless, "Find Shortname", "##RefInput",
                            headless.FindWindow("Find Shortname")->Rect().GetCenter().x));
    TypeText(headless, "Elem");
    ASSERT_TRUE(Click("Find Shortname", "Open in new window", "Show in main window"));
    EXPECT_EQ(headless.gui.elementWindows.back().path, "/Pkg/Elem");
}

TEST(FindDialogsWithoutDocument, ShowTheirErrorLineAndStayDisabled)
{
    HeadlessGui headless;
    headless.gui.showFindRef = true;
    headless.gui.showFindShortname = true;
    headless.Frame();
    std::string drawn = FrameText(headless);
    EXPECT_NE(drawn.find(Squash("Could not find the ref.")), std::string::npos);
    EXPECT_NE(drawn.find(Squash("File not loaded. Result unavailable.")), std::string::npos);

    // The dialogs open on top of each other; move one aside so both can be reached.
    headless.Frame([] { ImGui::SetWindowPos("Find Shortname", ImVec2(600, 500)); });
    for (auto [window, right] :
         {std::pair("Find Ref", "Jump to Ref"), std::pair("Find Shortname", "Show in main window")}) {
        ImGuiWindow* found = headless.FindWindow(window);
        ASSERT_NE(found, nullptr);
        EXPECT_FALSE(ClickButton(headless, window, "Open in new window",
                                 SecondToRightButtonX(found, "Open in new window", right)))
            << window;
        EXPECT_FALSE(ClickButton(headless, window, right, RightButtonX(found, right))) << window;
    }
    EXPECT_TRUE(headless.gui.elementWindows.empty());
}

TEST(FindDialogsSize, IsReappliedEveryFrame)
{
    HeadlessGui headless;
    headless.gui.showFindRef = true;
    headless.Frame();
    headless.Frame([] { ImGui::SetWindowSize("Find Ref", ImVec2(900, 600)); });
    headless.Frame();
    const float font = ImGui::GetFontSize();
    ImGuiWindow* window = headless.FindWindow("Find Ref");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Size.x, IM_FLOOR(42 * font));
    EXPECT_EQ(window->Size.y, IM_FLOOR(12.5f * font));
}
