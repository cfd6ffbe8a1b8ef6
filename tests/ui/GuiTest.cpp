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
    gui.OpenElementWindow("/Body/Speed");
    gui.OpenElementWindow("/Body/Speed");
    gui.OpenRefsWindow("/Body/Speed");
    ASSERT_EQ(gui.elementWindows.size(), 2u);
    EXPECT_EQ(gui.elementWindows.front().windowId, "0");
    EXPECT_EQ(gui.elementWindows.back().windowId, "1");
    ASSERT_EQ(gui.refsWindows.size(), 1u);
    EXPECT_EQ(gui.refsWindows.front().windowId, "2");
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
    headless.gui.OpenElementWindow("/Body/Speed");
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
    headless.gui.navigationTarget = {detached->first_child()};
    headless.Frame();
    EXPECT_EQ(headless.gui.navigationTarget.size(), 1u) << "no document shown yet";

    headless.gui.navigationTarget.clear();
    headless.gui.state->OpenFile(dir.Write("small.arxml", kSmallArxml));
    bool sawIndexing = false;
    ASSERT_TRUE(headless.FramesUntil([&] {
        sawIndexing |= headless.gui.state->GetKind() == StateKind::Indexing;
        return headless.gui.state->GetKind() == StateKind::Ready;
    }));
    EXPECT_TRUE(sawIndexing) << "the document is drawn while indexing";

    Result<Ref> speed = headless.gui.state->FindRef("/Body/Speed");
    ASSERT_EQ(speed.status, ResultStatus::Done);
    headless.gui.navigationTarget = speed.GetValue()->trail;
    headless.Frame();
    EXPECT_TRUE(headless.gui.navigationTarget.empty());
}

// The target names nodes of the document it was made for; another document must never follow it.
TEST(DrawFrame, ANewDocumentDropsTheNavigationTargetOfTheOldOne)
{
    TempDir dir;
    HeadlessGui headless;
    headless.gui.state->OpenFile(dir.Write("first.arxml", kSmallArxml));
    ASSERT_TRUE(headless.FramesUntil([&] { return headless.gui.state->GetKind() == StateKind::Ready; }));
    Result<Ref> speed = headless.gui.state->FindRef("/Body/Speed");
    ASSERT_EQ(speed.status, ResultStatus::Done);

    headless.gui.navigationTarget = speed.GetValue()->trail; // as a reveal button drawn late leaves it
    headless.gui.state->OpenFile(dir.Write("second.arxml", kSmallArxml));
    headless.Frame();
    EXPECT_TRUE(headless.gui.navigationTarget.empty());
}
