#include "HeadlessGui.h"
#include "WindowProbe.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {

const char* kSmallArxml = R"(<?xml version="1.0" encoding="UTF-8"?>
<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>Body</SHORT-NAME><ELEMENTS>
  <I-SIGNAL><SHORT-NAME>Speed</SHORT-NAME></I-SIGNAL>
</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>)";

} // namespace

TEST(HexToColor, ReadsThreeOrFourFieldsAndToleratesMalformedText)
{
    auto u32 = [](const char* hex) { return ImGui::ColorConvertFloat4ToU32(HexToColor(hex)); };
    EXPECT_EQ(u32("FFFFFF"), IM_COL32(0xFF, 0xFF, 0xFF, 0xFF));
    EXPECT_EQ(u32("EB6847"), IM_COL32(0xEB, 0x68, 0x47, 0xFF));
    EXPECT_EQ(u32("383e4766"), IM_COL32(0x38, 0x3e, 0x47, 0x66));
    // Malformed fields read as zero instead of throwing.
    EXPECT_EQ(u32("F"), IM_COL32(0, 0, 0, 0xFF));
    EXPECT_EQ(u32("zz00FF"), IM_COL32(0, 0, 0xFF, 0xFF));
}

TEST(GuiWindows, ElementAndRefsWindowsShareOneCounter)
{
    Gui gui;
    OpenElementWindow(gui, "/Body/Speed");
    OpenElementWindow(gui, "/Body/Speed");
    OpenRefsWindow(gui, "/Body/Speed");
    ASSERT_EQ(gui.elementWindows.entries.size(), 2u);
    EXPECT_EQ(gui.elementWindows.entries.front().windowId, "0");
    EXPECT_EQ(gui.elementWindows.entries.back().windowId, "1");
    ASSERT_EQ(gui.refsWindows.entries.size(), 1u);
    EXPECT_EQ(gui.refsWindows.entries.front().windowId, "2");
}

TEST(DrawFrame, ShowsTheErrorOfAFailedLoadAndReturnsTrueOnlyAfterExitWasChosen)
{
    HeadlessGui headless;
    EXPECT_FALSE(headless.Frame());
    EXPECT_EQ(headless.gui.state->GetKind(), StateKind::Initial);
    headless.gui.state->OpenFile("/no/such/file.arxml");
    ASSERT_TRUE(headless.FramesUntil([&] { return headless.gui.state->GetKind() == StateKind::Error; }));
    EXPECT_FALSE(headless.Frame());
    ImGuiWindow* region = ScrollingRegionOf("XML Tree View");
    ASSERT_NE(region, nullptr);
    EXPECT_GT(VerticesInColour(region, headless.gui.errorColor), 0);

    headless.gui.keepRunning = false;
    EXPECT_TRUE(headless.Frame());
}

TEST(DrawFrame, LoadingScreenAndElementWindowErrorOnTheFrameThatStartsTheLoad)
{
    TempDir dir;
    HeadlessGui headless;
    headless.gui.state->OpenFile(dir.Write("small.arxml", kSmallArxml));
    OpenElementWindow(headless.gui, "/Body/Speed");
    headless.Frame();
    ASSERT_EQ(headless.gui.state->GetKind(), StateKind::Loading);
    ImGuiWindow* region = ScrollingRegionOf("XML Tree View");
    ASSERT_NE(region, nullptr);
    EXPECT_GT(VerticesInColour(region, ImVec4(1, 1, 1, 1)), 0) << "spinner and text";
    // While loading, a lookup fails at once with the not-loaded message.
    ImGuiWindow* element = ScrollingRegionOf("/Body/Speed##0");
    ASSERT_NE(element, nullptr);
    EXPECT_GT(VerticesInColour(element, headless.gui.errorColor), 0);
}

TEST(DrawFrame, NavigationTargetWaitsForADocumentAndIsConsumedOnceOneIsShown)
{
    TempDir dir;
    HeadlessGui headless;
    auto detached = ParseDocument(kSmallArxml);
    headless.gui.tree.navigationTarget = {detached->first_child()};
    headless.Frame();
    EXPECT_EQ(headless.gui.tree.navigationTarget.size(), 1u) << "no document shown yet";

    headless.gui.tree.navigationTarget.clear();
    headless.gui.state->OpenFile(dir.Write("small.arxml", kSmallArxml));
    bool sawIndexing = false;
    ASSERT_TRUE(headless.FramesUntil([&] {
        sawIndexing |= headless.gui.state->GetKind() == StateKind::Indexing;
        return headless.gui.state->GetKind() == StateKind::Ready;
    }));
    EXPECT_TRUE(sawIndexing) << "the document is drawn while indexing";

    Result<Ref> speed = headless.gui.state->FindRef("/Body/Speed");
    ASSERT_EQ(speed.status, ResultStatus::Done);
    headless.gui.tree.navigationTarget = speed.GetValue()->trail;
    headless.Frame();
    EXPECT_TRUE(headless.gui.tree.navigationTarget.empty());
}

// What belongs to the document shown starts afresh with another one: the reveal target (it names
// the old document's nodes), the filter, Back and Forward, a selected broken reference. A reload
// of the same file keeps the filter and the history, whose paths hold in it again.
TEST(DrawFrame, ANewDocumentStartsFresh)
{
    TempDir dir;
    HeadlessGui headless;
    Gui& gui = headless.gui;
    const std::string broken = R"(<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>Body</SHORT-NAME><ELEMENTS>
        <I-SIGNAL><SHORT-NAME>Speed</SHORT-NAME><X-REF>/Missing</X-REF></I-SIGNAL>
        </ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>)";
    ASSERT_TRUE(OpenDocument(headless, dir.Write("first.arxml", broken)));
    for (const char* path : {"/Body", "/Body/Speed"}) {
        gui.Reveal(gui.state->FindRef(path).GetValue()->trail, path);
        headless.Frame();
    }
    gui.filterBar.focus = true;
    headless.Frame();
    headless.Frame();
    TypeText(headless, "Speed");
    gui.brokenRefs.shown = true;
    auto selectBroken = [&] {
        // The row's reason: the tree shows "/Missing" too.
        ASSERT_TRUE(headless.FramesUntil([&] { return Drew(headless, "target missing"); }));
        ASSERT_TRUE(ClickDrawnText(headless, "target missing"));
    };
    auto brokenSelected = [&] {
        int selected = -2;
        headless.Frame([&] { selected = gui.StoredSelection(ImGui::GetID("Broken References")); });
        return selected;
    };
    selectBroken();
    ASSERT_EQ(brokenSelected(), 0);
    auto leaveTargetAndOpen = [&](const std::string& path) {
        gui.tree.navigationTarget =
            gui.state->FindRef("/Body/Speed").GetValue()->trail; // as a late button does
        gui.state->OpenFile(path);
        headless.Frame();
        EXPECT_TRUE(gui.tree.navigationTarget.empty());
        ASSERT_TRUE(OpenDocument(headless, path));
    };

    leaveTargetAndOpen(gui.state->GetFilePath()); // a reload
    EXPECT_EQ(gui.filterBar.query.text, "Speed");
    EXPECT_TRUE(gui.history.CanGoBack());
    EXPECT_EQ(brokenSelected(), -1) << "the list was made anew";

    selectBroken();
    leaveTargetAndOpen(dir.Write("second.arxml", broken));
    EXPECT_EQ(gui.filterBar.query.text, "");
    EXPECT_FALSE(gui.history.CanGoBack() || gui.history.CanGoForward());
    EXPECT_EQ(brokenSelected(), -1);
}
