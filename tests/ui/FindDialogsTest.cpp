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
    void SetUp() override
    {
        MapNamedKeys();
        ASSERT_TRUE(OpenDocument(headless, files.Write("find.arxml", kDocument)));
    }

    // Shows a dialog, lets its field take the focus and types into it.
    void ShowAndType(bool& flag, const std::string& text)
    {
        flag = true;
        headless.Frame();
        headless.Frame();
        TypeText(headless, text);
    }

    TempDir files;
    HeadlessGui headless;
};
} // namespace

TEST_F(FindDialogs, FindRefAddsTheMissingSlashOpensThePathAndJumpsToIt)
{
    ShowAndType(headless.gui.findRef.shown, "");
    EXPECT_FALSE(Drew(headless, "Could not find the ref.")) << "nothing asked yet";
    TypeText(headless, "Pkg/Elem");
    EXPECT_TRUE(Drew(headless, "Please enter a reference:"));
    EXPECT_FALSE(Drew(headless, "Could not find the ref."));
    EXPECT_FALSE(Drew(headless, "Target here")) << "not shown before the jump";

    ASSERT_TRUE(ClickRowButton(headless, "Find Ref", "Open in new window", "Jump to Ref"));
    ASSERT_EQ(headless.gui.elementWindows.entries.size(), 1u);
    EXPECT_EQ(headless.gui.elementWindows.entries.back().path, "/Pkg/Elem");

    // The dialog stays open; the main tree opens down to the target.
    ASSERT_TRUE(ClickRowButton(headless, "Find Ref", "Jump to Ref", "Jump to Ref"));
    headless.gui.elementWindows.entries.clear();
    EXPECT_TRUE(Drew(headless, "Target here"));
}

// Tab completes the path piece by piece; a text not found is told so only after Enter.
TEST_F(FindDialogs, FindRefCompletesOnTabAndTellsAFailureOnEnter)
{
    ShowAndType(headless.gui.findRef.shown, "Pkg/Ot");
    ASSERT_TRUE(headless.FramesUntil(
        [&] { return headless.gui.state->CompleteRefPath("/").status == ResultStatus::Done; }));
    PressKey(headless, 258); // Tab
    ASSERT_TRUE(ClickRowButton(headless, "Find Ref", "Jump to Ref", "Jump to Ref"));
    EXPECT_EQ(headless.gui.history.Size(), 1u) << "completed to /Pkg/Other";

    ASSERT_TRUE(ClickButton(headless, "Find Ref", "##RefInput",
                            headless.FindWindow("Find Ref")->Rect().GetCenter().x));
    TypeText(headless, "/Pkg/Elem/");
    EXPECT_FALSE(Drew(headless, "Could not find the ref.")) << "still being typed";
    PressKey(headless, 257); // Enter
    EXPECT_TRUE(Drew(headless, "Could not find the ref."));
    EXPECT_FALSE(ClickRowButton(headless, "Find Ref", "Open in new window", "Jump to Ref"));
    EXPECT_FALSE(ClickRowButton(headless, "Find Ref", "Jump to Ref", "Jump to Ref"));
    EXPECT_TRUE(headless.gui.elementWindows.entries.empty());
}

TEST_F(FindDialogs, FindShortnameIsExactAndCaseSensitive)
{
    const char* open = "Open in new window";
    const char* show = "Show in main window";
    // A name no element has, nor in part: the message of the lookup is shown as it is.
    ShowAndType(headless.gui.findShortname.shown, "Nowhere");
    ASSERT_TRUE(headless.FramesUntil([&] { return Drew(headless, "Could not find such an element."); }));
    EXPECT_TRUE(Drew(headless, "Please enter a shortname:"));
    EXPECT_FALSE(ClickRowButton(headless, "Find Shortname", open, show));

    TypeText(headless, "elem");
    EXPECT_FALSE(Drew(headless, "Could not find"));
    EXPECT_TRUE(Drew(headless, "/Second/elem")) << "the match's path";
    ASSERT_TRUE(ClickRowButton(headless, "Find Shortname", open, show));
    ASSERT_EQ(headless.gui.elementWindows.entries.size(), 1u);
    EXPECT_EQ(headless.gui.elementWindows.entries.back().path, "/Second/elem");

    // Of two equal short names both are listed with their paths; the first in document order is
    // the answer until another is clicked, which goes to it.
    ASSERT_TRUE(ClickButton(headless, "Find Shortname", "##RefInput",
                            headless.FindWindow("Find Shortname")->Rect().GetCenter().x));
    TypeText(headless, "Elem");
    ASSERT_TRUE(ClickRowButton(headless, "Find Shortname", open, show));
    EXPECT_EQ(headless.gui.elementWindows.entries.back().path, "/Pkg/Elem");
    ASSERT_TRUE(headless.FramesUntil([&] { return Drew(headless, "2 elements have this short name"); }));
    EXPECT_TRUE(Drew(headless, "/Pkg/Elem"));
    ASSERT_TRUE(ClickDrawnText(headless, "/Second/Elem"));
    EXPECT_EQ(headless.gui.history.Size(), 1u);
    ASSERT_TRUE(ClickRowButton(headless, "Find Shortname", open, show));
    EXPECT_EQ(headless.gui.elementWindows.entries.back().path, "/Second/Elem");
}

TEST(FindDialogsWithoutDocument, ShowTheirErrorLineAndStayDisabled)
{
    HeadlessGui headless;
    MapNamedKeys();
    headless.gui.findShortname.shown = true;
    headless.Frame();
    headless.Frame();
    TypeText(headless, "Elem");
    EXPECT_TRUE(Drew(headless, "File not loaded. Result unavailable."));
    headless.gui.findShortname.shown = false;
    headless.gui.findRef.shown = true;
    headless.Frame();
    headless.Frame();
    PressKey(headless, 257); // Enter
    EXPECT_TRUE(Drew(headless, "Could not find the ref."));
    headless.Frame();
    ASSERT_NE(headless.FindWindow("Find Ref"), nullptr);
    EXPECT_FALSE(ClickRowButton(headless, "Find Ref", "Open in new window", "Jump to Ref"));
    EXPECT_FALSE(ClickRowButton(headless, "Find Ref", "Jump to Ref", "Jump to Ref"));
    EXPECT_TRUE(headless.gui.elementWindows.entries.empty());
}

TEST_F(FindDialogs, FindShortnameListsNamesContainingTheTextWhenNoneIsEqual)
{
    const char* open = "Open in new window";
    const char* show = "Show in main window";
    ShowAndType(headless.gui.findShortname.shown, "ther");
    ASSERT_TRUE(
        headless.FramesUntil([&] { return Drew(headless, "1 element has the text in its short name"); }));
    EXPECT_FALSE(Drew(headless, "Could not find such an element.")) << "one message at a time";
    // Nothing is chosen for the user: the buttons wait for a row.
    EXPECT_FALSE(ClickRowButton(headless, "Find Shortname", show, show));

    EXPECT_FALSE(Drew(headless, "TARGET-REF")) << "not shown before the reveal";
    ASSERT_TRUE(ClickDrawnText(headless, "/Pkg/Other")); // a click on a row goes to it
    EXPECT_EQ(headless.gui.history.Size(), 1u);
    EXPECT_TRUE(Drew(headless, "TARGET-REF"));
    ASSERT_TRUE(ClickRowButton(headless, "Find Shortname", open, show));
    ASSERT_EQ(headless.gui.elementWindows.entries.size(), 1u);
    EXPECT_EQ(headless.gui.elementWindows.entries.back().path, "/Pkg/Other");

    // ASCII case is ignored; every element containing the text is counted.
    ASSERT_TRUE(ClickButton(headless, "Find Shortname", "##RefInput",
                            headless.FindWindow("Find Shortname")->Rect().GetCenter().x));
    TypeText(headless, "LE");
    ASSERT_TRUE(
        headless.FramesUntil([&] { return Drew(headless, "3 elements have the text in its short name"); }));
    EXPECT_TRUE(Drew(headless, "/Second/elem"));
}
