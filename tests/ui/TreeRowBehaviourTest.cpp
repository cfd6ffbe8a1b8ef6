#include "HeadlessGui.h"
#include "WindowProbe.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

namespace {

// Package P holding `count` signals S1, S2, ...
std::string PackageOf(int count)
{
    std::string xml = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>";
    for (int i = 1; i <= count; ++i)
        xml += "<I-SIGNAL><SHORT-NAME>S" + std::to_string(i) + "</SHORT-NAME></I-SIGNAL>";
    return xml + "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>";
}

// Opens the main tree down to the element at `path` and returns the text the next frame drew.
std::string ShownAround(HeadlessGui& headless, const std::string& path)
{
    Result<Ref> target = headless.gui.state->FindRef(path);
    EXPECT_EQ(target.status, ResultStatus::Done) << path;
    if (target.status == ResultStatus::Done)
        headless.gui.tree.navigationTarget = target.GetValue()->trail;
    return MainWindowText(headless);
}

} // namespace

TEST(OpenRef, OpensTheElementTheReferenceNamesNotTheRowsOwn)
{
    TempDir dir;
    const std::string xml = R"(<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>
        <FRAME><SHORT-NAME>Source</SHORT-NAME><SIGNAL-REF>/P/Target</SIGNAL-REF></FRAME>
        <I-SIGNAL><SHORT-NAME>Target</SHORT-NAME><DESC>only the target says this</DESC></I-SIGNAL>
        </ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>)";
    HeadlessGui headless;
    ASSERT_TRUE(OpenDocument(headless, dir.Write("refs.arxml", xml)));
    ShownAround(headless, "/P/Source");
    headless.Frame(); // the target's row scrolls into view

    ASSERT_TRUE(ClickDrawnText(headless, "Open Ref")) << FrameText(headless);
    ASSERT_EQ(headless.gui.elementWindows.entries.size(), 1u);
    EXPECT_EQ(headless.gui.elementWindows.entries.front().path, "/P/Target");
    headless.Frame();
    EXPECT_TRUE(Drew(headless, "only the target says this")) << FrameText(headless);
}

TEST(Highlight, ARevealedRowAloneIsHighlightedForTwoSecondsOfFrameTime)
{
    TempDir dir;
    HeadlessGui headless;
    ASSERT_TRUE(OpenDocument(headless, dir.Write("five.arxml", PackageOf(5))));
    ImGuiIO& io = ImGui::GetIO();
    io.DeltaTime = 0.25f;
    ShownAround(headless, "/P/S4"); // t = 0
    ImGuiWindow* region = ScrollingRegionOf("XML Tree View");
    ASSERT_NE(region, nullptr);
    // A highlighted row is one filled rectangle of four vertices; the target's ancestors stay plain.
    auto highlightedRowsAfter = [&](int frames) {
        for (int i = 0; i < frames; ++i)
            headless.Frame();
        return VerticesInColour(region, headless.gui.highlightColor) / 4.0;
    };
    EXPECT_EQ(highlightedRowsAfter(1), 1) << "at 0.25 s";
    EXPECT_EQ(highlightedRowsAfter(6), 1) << "at 1.75 s";
    EXPECT_EQ(highlightedRowsAfter(3), 0) << "at 2.5 s";
}

// Sibling numbers are padded to the digits of the child count: the edge is a count that is a
// power of ten.
TEST(SiblingNumbers, HaveAsManyDigitsAsTheChildCount)
{
    TempDir dir;
    {
        HeadlessGui headless;
        ASSERT_TRUE(OpenDocument(headless, dir.Write("ten.arxml", PackageOf(10))));
        const std::string text = ShownAround(headless, "/P/S10");
        for (const char* label : {"[01]", "[09]", "[10]"})
            EXPECT_NE(text.find(label), std::string::npos) << label << " in\n" << text;
    }
    {
        HeadlessGui headless;
        ASSERT_TRUE(OpenDocument(headless, dir.Write("hundred.arxml", PackageOf(100))));
        const std::string first = ShownAround(headless, "/P/S1");
        EXPECT_NE(first.find("[001]"), std::string::npos) << first;
        EXPECT_EQ(first.find("[01]"), std::string::npos) << first;
        const std::string last = ShownAround(headless, "/P/S100");
        EXPECT_NE(last.find("[100]"), std::string::npos) << last;
    }
    {
        HeadlessGui headless;
        ASSERT_TRUE(OpenDocument(headless, dir.Write("nine.arxml", PackageOf(9))));
        const std::string text = ShownAround(headless, "/P/S9");
        EXPECT_NE(text.find("[9]"), std::string::npos) << text;
        EXPECT_EQ(text.find("[09]"), std::string::npos) << text;
    }
}

// The mouse moves right along the row that drew `rowText` (no blanks) until the first item whose tooltip
// reads `tooltip` is under it, then clicks there, with Ctrl held when asked. False when no such item
// shows on that row.
bool ClickRowAction(HeadlessGui& headless, const std::string& rowText, const std::string& tooltip,
                    bool ctrl = false)
{
    std::optional<DrawnGlyph> row = FindDrawnText(headless, rowText);
    if (!row)
        return false;
    const float rowY = row->position.y + 2;
    ImGuiIO& io = ImGui::GetIO();
    ImGuiWindow* window = OuterWindow(headless);
    for (float x = window->Pos.x; x < window->Pos.x + window->Size.x; x += 4) {
        io.MousePos = ImVec2(x, rowY);
        if (!Drew(headless, tooltip))
            continue;
        io.KeyCtrl = ctrl;
        PressAndRelease(headless);
        io.KeyCtrl = false;
        io.MousePos = ImVec2(-FLT_MAX, -FLT_MAX);
        return true;
    }
    io.MousePos = ImVec2(-FLT_MAX, -FLT_MAX);
    return false;
}

TEST(Bookmarks, TheRowButtonAddsThenRemovesTheRowsElement)
{
    TempDir dir;
    HeadlessGui headless;
    const std::string file = dir.Write("five.arxml", PackageOf(5));
    ASSERT_TRUE(OpenDocument(headless, file));
    ShownAround(headless, "/P/S5");
    ASSERT_TRUE(ClickRowAction(headless, "I-SIGNAL[5]", "Add Bookmark")) << FrameText(headless);
    EXPECT_EQ(headless.gui.bookmarks, std::set<std::string>{"/P/S5"});
    EXPECT_EQ(headless.gui.settings.bookmarkFiles, (std::map<std::string, std::string>{{"/P/S5", file}}));
    ASSERT_TRUE(ClickRowAction(headless, "I-SIGNAL[5]", "Remove Bookmark")) << FrameText(headless);
    EXPECT_TRUE(headless.gui.bookmarks.empty());
    EXPECT_TRUE(headless.gui.settings.bookmarkFiles.empty());
}

// A reference that names nothing looks broken, says why under the mouse, and says so again when followed.
TEST(BrokenReferences, AreDrawnApartAndFollowingOneSaysWhyInTheStatusLine)
{
    TempDir folder;
    HeadlessGui headless;
    ASSERT_TRUE(OpenSampleWorkspace(headless, folder));
    Result<Ref> door = headless.gui.state->FindRef("/Body/Door");
    ASSERT_EQ(door.status, ResultStatus::Done);
    headless.gui.tree.navigationTarget = Ref(door.GetValue()->node.child("DESC"))->trail;
    headless.Frame();
    ImGuiWindow* region = ScrollingRegionOf("XML Tree View");
    ASSERT_NE(region, nullptr);
    EXPECT_GT(VerticesInColour(region, headless.gui.brokenReferenceColor), 0);

    for (const auto& [row, why] :
         {std::pair{"MISSING-REF", "target missing"}, {"OTHER-REF", "base unknown"}}) {
        ASSERT_TRUE(ClickRowAction(headless, row, why, true)) << row;
        headless.Frame();
        EXPECT_EQ(headless.gui.statusText, std::string("Broken reference: ") + why + ".");
    }
}

// The count buttons of a short row and of a deeper one with a longer name stand in one column.
TEST(RefCounts, StandInOneColumnWhateverTheRowsDepthAndName)
{
    std::string xml = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>"
                      "<X><SHORT-NAME>A</SHORT-NAME></X><X><SHORT-NAME>LongerName</SHORT-NAME>"
                      "<SUB><Y><SHORT-NAME>BWithAMuchLongerName</SHORT-NAME></Y></SUB></X></ELEMENTS></"
                      "AR-PACKAGE></AR-PACKAGES><REFS>";
    for (int i = 0; i < 7; ++i)
        xml += "<R>/P/A</R>";
    for (int i = 0; i < 9; ++i)
        xml += "<R>/P/LongerName/BWithAMuchLongerName</R>";
    TempDir dir;
    HeadlessGui headless;
    ASSERT_TRUE(OpenDocument(headless, dir.Write("counts.arxml", xml + "</REFS></AUTOSAR>")));
    ShownAround(headless, "/P/LongerName/BWithAMuchLongerName");
    // The digits of the two counts, 7 and 9, are drawn nowhere else.
    auto digitX = [&](char digit) {
        for (const DrawnGlyph& glyph : DrawnGlyphs(headless))
            if (glyph.character == digit)
                return glyph.position.x;
        return -1.0f;
    };
    ASSERT_TRUE(headless.FramesUntil([&] { return digitX('7') > 0 && digitX('9') > 0; }));
    EXPECT_FLOAT_EQ(digitX('7'), digitX('9'));
}
