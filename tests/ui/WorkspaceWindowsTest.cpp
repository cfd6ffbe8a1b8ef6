#include "HeadlessGui.h"
#include "WindowProbe.h"

#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {
class WorkspaceWindows : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(OpenSampleWorkspace(headless, files)); }

    TempDir files;
    HeadlessGui headless;
};
} // namespace

TEST_F(WorkspaceWindows, OneRowPerFileWithItsErrorAndTheCountOfLoadedFiles)
{
    const std::string drawn = FrameText(headless);
    for (const char* name : {"a.arxml", "b.arxml", "c.arxml", "d.arxml"})
        EXPECT_NE(drawn.find(name), std::string::npos) << name;
    EXPECT_NE(drawn.find(Squash("Could not load the file " + files.File("d.arxml"))), std::string::npos);
    EXPECT_NE(drawn.find(Squash("3 of 4 files loaded")), std::string::npos);
}

TEST_F(WorkspaceWindows, NavigationOpensTheTargetFilesRow)
{
    Gui& gui = headless.gui;
    Result<Ref> target = gui.state->FindRef("/Types/UInt8");
    ASSERT_EQ(target.status, ResultStatus::Done);
    EXPECT_FALSE(Drew(headless, "SW-BASE-TYPE")) << "file rows start closed";
    gui.tree.navigationTarget = target.GetValue()->trail;
    headless.Frame();
    EXPECT_TRUE(Drew(headless, "SW-BASE-TYPE"));
}

TEST_F(WorkspaceWindows, BrokenReferencesListsWhatNoFileResolvesAndShowsItsReferrer)
{
    Gui& gui = headless.gui;
    gui.brokenRefs.shown = true;
    // The list comes from a worker, and its columns settle on the widths of the rows drawn before.
    std::string drawn;
    ASSERT_TRUE(headless.FramesUntil(
        [&] { return (drawn = FrameText(headless)).find(Squash("unknown base")) != std::string::npos; }, 10))
        << drawn;
    EXPECT_NE(drawn.find("/Missing/Thing"), std::string::npos);
    EXPECT_NE(drawn.find(Squash("2 of 2 reference texts name no element")), std::string::npos);
    for (const char* why : {"target missing", "unknown base"}) // Door's OTHER-REF through "Nowhere"
        EXPECT_NE(drawn.find(Squash(why)), std::string::npos) << why;
    EXPECT_EQ(drawn.find("/Types/UInt8"), std::string::npos) << "resolved in another file";

    ASSERT_TRUE(ClickDrawnText(headless, "/Missing/Thing"));
    ASSERT_TRUE(ClickRowButton(headless, "Broken References", "Show in main window", "Show in main window"));
    const Ref& referrer = gui.state->FindBrokenRefs().GetValue()[0].firstReferrer;
    EXPECT_EQ(referrer->path, "/Body/Door");
    EXPECT_EQ(gui.tree.navigationTarget, referrer->trail);
}
