#include "HeadlessGui.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The document area of a window: ImGui names a child "<parent>/<child>_<id>".
ImGuiWindow* ScrollingRegionOf(const std::string& parent)
{
    for (ImGuiWindow* window : GImGui->Windows) {
        std::string name = window->Name;
        if (name.rfind(parent + "/ScrollingRegion_", 0) == 0)
            return window;
    }
    return nullptr;
}

int VerticesInColour(const ImGuiWindow* window, const ImVec4& colour)
{
    const ImU32 wanted = ImGui::ColorConvertFloat4ToU32(colour);
    int count = 0;
    for (const ImDrawVert& vertex : window->DrawList->VtxBuffer)
        count += vertex.col == wanted;
    return count;
}

const char* kSmallArxml = R"(<?xml version="1.0" encoding="UTF-8"?>
<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>Body</SHORT-NAME><ELEMENTS>
  <I-SIGNAL><SHORT-NAME>Speed</SHORT-NAME></I-SIGNAL>
  <I-SIGNAL-TRIGGERING><SHORT-NAME>T1</SHORT-NAME><I-SIGNAL-REF DEST="I-SIGNAL">/Body/Speed</I-SIGNAL-REF></I-SIGNAL-TRIGGERING>
</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>)";

} // namespace

TEST(HexToColor, ReadsThreeOrFourFields)
{
    ImVec4 white = HexToColor("FFFFFF");
    EXPECT_FLOAT_EQ(white.x, 1.0f);
    EXPECT_FLOAT_EQ(white.y, 1.0f);
    EXPECT_FLOAT_EQ(white.z, 1.0f);
    EXPECT_FLOAT_EQ(white.w, 1.0f);

    ImVec4 dim = HexToColor("383e4766");
    EXPECT_NEAR(dim.x, 0x38 / 255.0f, 1e-6);
    EXPECT_NEAR(dim.y, 0x3e / 255.0f, 1e-6);
    EXPECT_NEAR(dim.z, 0x47 / 255.0f, 1e-6);
    EXPECT_NEAR(dim.w, 102 / 255.0f, 1e-6);

    ImVec4 error = HexToColor("EB6847");
    EXPECT_EQ(ImGui::ColorConvertFloat4ToU32(error), IM_COL32(0xEB, 0x68, 0x47, 0xFF));
}

TEST(HexToColor, MalformedTextGivesZeroFieldsInsteadOfThrowing)
{
    ImVec4 shortText = HexToColor("F");
    EXPECT_FLOAT_EQ(shortText.x, 0.0f);
    EXPECT_FLOAT_EQ(shortText.w, 1.0f);
    ImVec4 notHex = HexToColor("zz00FF");
    EXPECT_FLOAT_EQ(notHex.x, 0.0f);
    EXPECT_FLOAT_EQ(notHex.z, 1.0f);
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
    EXPECT_EQ(gui.elementWindows.back().path, "/Body/Speed");
    ASSERT_EQ(gui.refsWindows.size(), 1u);
    EXPECT_EQ(gui.refsWindows.front().windowId, "2");
}

TEST(DrawFrame, ReturnsTrueOnlyAfterExitWasChosen)
{
    HeadlessGui headless;
    EXPECT_FALSE(headless.Frame());
    ImGuiWindow* main = headless.FindWindow("XML Tree View");
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->Flags & ImGuiWindowFlags_MenuBar);
    EXPECT_EQ(main->Size.x, 1280);
    EXPECT_EQ(main->Size.y, 900);

    headless.gui.keepRunning = false;
    EXPECT_TRUE(headless.Frame());
}

TEST(DrawFrame, ShowsTheLoadingScreenOnTheFrameThatStartsTheLoad)
{
    TempDir dir;
    HeadlessGui headless;
    headless.gui.state->OpenFile(dir.Write("small.arxml", kSmallArxml));
    headless.Frame();
    ASSERT_EQ(headless.gui.state->GetKind(), StateKind::Loading);
    ImGuiWindow* region = ScrollingRegionOf("XML Tree View");
    ASSERT_NE(region, nullptr);
    // Spinner and "Loading..." in white, right of and below the region's centre.
    EXPECT_GT(VerticesInColour(region, ImVec4(1, 1, 1, 1)), 0);
    ImVec2 centre(region->Pos.x + region->Size.x / 2, region->Pos.y + region->Size.y / 2);
    for (const ImDrawVert& vertex : region->DrawList->VtxBuffer) {
        if (vertex.col == IM_COL32_WHITE) {
            EXPECT_GE(vertex.pos.x, centre.x - 1);
            EXPECT_GE(vertex.pos.y, centre.y - 1);
        }
    }
}

TEST(DrawFrame, ShowsTheErrorMessageOfAFailedLoad)
{
    HeadlessGui headless;
    headless.gui.state->OpenFile("/no/such/file.arxml");
    ASSERT_TRUE(headless.FramesUntil([&] { return headless.gui.state->GetKind() == StateKind::Error; }));
    headless.Frame();
    ImGuiWindow* region = ScrollingRegionOf("XML Tree View");
    ASSERT_NE(region, nullptr);
    EXPECT_GT(VerticesInColour(region, headless.gui.errorColor), 0);
}

TEST(DrawFrame, DrawsTheDocumentWhileIndexingAndWhenReadyAndConsumesTheNavigationTarget)
{
    TempDir dir;
    HeadlessGui headless;
    headless.gui.state->OpenFile(dir.Write("small.arxml", kSmallArxml));
    bool sawIndexing = false;
    ASSERT_TRUE(headless.FramesUntil([&] {
        sawIndexing |= headless.gui.state->GetKind() == StateKind::Indexing;
        return headless.gui.state->GetKind() == StateKind::Ready;
    }));
    EXPECT_TRUE(sawIndexing);

    Result<Ref> speed = headless.gui.state->FindRef("/Body/Speed");
    ASSERT_EQ(speed.status, ResultStatus::Done);
    headless.gui.navigationTarget = speed.GetValue()->trail;
    headless.Frame();
    EXPECT_TRUE(headless.gui.navigationTarget.empty());
}

TEST(DrawFrame, NavigationTargetWaitsWhileNoDocumentIsShown)
{
    HeadlessGui headless;
    auto document = ParseDocument(kSmallArxml);
    headless.gui.navigationTarget = {document->first_child()};
    headless.Frame();
    EXPECT_EQ(headless.gui.navigationTarget.size(), 1u);
}

TEST(DrawFrame, ElementWindowsShowTheirAnswerAndKeepDistinctTitles)
{
    TempDir dir;
    HeadlessGui headless;
    headless.gui.state = OpenAndSettle(dir.Write("small.arxml", kSmallArxml));
    ASSERT_EQ(headless.gui.state->GetKind(), StateKind::Ready);
    headless.gui.OpenElementWindow("/Body/Speed");
    headless.gui.OpenElementWindow("/Body/Speed");
    headless.gui.OpenElementWindow("/Body/Missing");
    headless.Frame();
    headless.Frame();

    ImGuiWindow* first = headless.FindWindow("/Body/Speed##0");
    ImGuiWindow* second = headless.FindWindow("/Body/Speed##1");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_FLOAT_EQ(first->Size.x, 35 * ImGui::GetFontSize());
    EXPECT_FLOAT_EQ(first->Size.y, 25 * ImGui::GetFontSize());
    EXPECT_EQ(VerticesInColour(ScrollingRegionOf("/Body/Speed##0"), headless.gui.errorColor), 0);

    ASSERT_NE(headless.FindWindow("/Body/Missing##2"), nullptr);
    ImGuiWindow* missing = ScrollingRegionOf("/Body/Missing##2");
    ASSERT_NE(missing, nullptr);
    EXPECT_GT(VerticesInColour(missing, headless.gui.errorColor), 0);
    EXPECT_EQ(headless.gui.elementWindows.size(), 3u);
}

TEST(DrawFrame, ElementWindowsShowTheLookupErrorBeforeADocumentIsLoaded)
{
    TempDir dir;
    HeadlessGui headless;
    headless.gui.state->OpenFile(dir.Write("small.arxml", kSmallArxml));
    headless.gui.OpenElementWindow("/Body/Speed");
    // In the loading state the lookup fails at once with the not-loaded message.
    headless.Frame();
    ASSERT_EQ(headless.gui.state->GetKind(), StateKind::Loading);
    ImGuiWindow* region = ScrollingRegionOf("/Body/Speed##0");
    ASSERT_NE(region, nullptr);
    EXPECT_GT(VerticesInColour(region, headless.gui.errorColor), 0);
}
