#include "HeadlessGui.h"
#include "WindowProbe.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

namespace {

// The GUI library's id arithmetic, to find a row's entries in a window's state storage.
ImGuiID WithInt(ImGuiID seed, int n)
{
    return ImHashData(&n, sizeof(n), seed);
}
ImGuiID WithLabel(ImGuiID seed, const char* label)
{
    return ImHashStr(label, 0, seed);
}

// Id scope of a row, given the (idIndex, tag) pairs of the open rows above it and its own idIndex.
ImGuiID RowScope(ImGuiWindow* region, size_t stateId, const std::vector<std::pair<int, const char*>>& above,
                 int idIndex)
{
    ImGuiID id = WithInt(region->ID, int(stateId));
    for (const auto& [index, tag] : above)
        id = WithLabel(WithInt(id, index), tag);
    return WithInt(id, idIndex);
}

std::string PagedPackage(int signals)
{
    std::string xml = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>";
    for (int i = 1; i <= signals; ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), "S%02d", i);
        xml += std::string("<I-SIGNAL><SHORT-NAME>") + name + "</SHORT-NAME><LENGTH>8</LENGTH></I-SIGNAL>";
    }
    return xml + "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>";
}

} // namespace

TEST(TreeNavigation, BookmarkOnThirdPageOpensAncestorsSwitchesPageScrollsAndHighlights)
{
    TempDir dir;
    HeadlessGui headless;
    ImGui::GetIO().DisplaySize = ImVec2(900, 240); // small, so that the target needs scrolling
    ASSERT_TRUE(OpenDocument(headless, dir.Write("paged.arxml", PagedPackage(50))));

    Result<Ref> target = headless.gui.state->FindRef("/P/S45");
    ASSERT_EQ(target.status, ResultStatus::Done);
    headless.gui.tree.navigationTarget = target.GetValue()->trail;
    const std::string text = MainWindowText(headless);
    EXPECT_TRUE(headless.gui.tree.navigationTarget.empty()) << "the main tree consumes the target";

    ImGuiWindow* region = ScrollingRegionOf("XML Tree View");
    ASSERT_NE(region, nullptr);
    const size_t stateId = headless.gui.state->id;
    const std::vector<std::pair<int, const char*>> toElements = {
        {0, "AUTOSAR"}, {0, "AR-PACKAGES"}, {0, "AR-PACKAGE"}};
    const ImGuiID elementsScope = RowScope(region, stateId, toElements, 1);
    EXPECT_EQ(region->StateStorage.GetInt(WithLabel(elementsScope, "ELEMENTS"), 0), 1) << "ancestor opened";
    EXPECT_EQ(region->StateStorage.GetInt(WithLabel(elementsScope, "##page"), 1), 3);

    auto toSignals = toElements;
    toSignals.push_back({1, "ELEMENTS"});
    const ImGuiID targetScope = RowScope(region, stateId, toSignals, 44);
    EXPECT_GT(region->StateStorage.GetFloat(WithLabel(targetScope, "I-SIGNAL##select_timer_id"), 0), 0.0f)
        << "target highlighted";
    const ImGuiID otherScope = RowScope(region, stateId, toSignals, 43);
    EXPECT_EQ(region->StateStorage.GetFloat(WithLabel(otherScope, "I-SIGNAL##select_timer_id"), 0), 0.0f);

    EXPECT_NE(text.find("3 / 3"), std::string::npos);

    headless.Frame();
    const std::string scrolled = MainWindowText(headless);
    EXPECT_GT(region->Scroll.y, 0.0f) << "scrolled towards the target";
    // Page 3 holds S41 to S50, numbered by position among all 50.
    EXPECT_NE(scrolled.find("[45]"), std::string::npos);
    EXPECT_NE(scrolled.find("S45"), std::string::npos);
    EXPECT_EQ(scrolled.find("S20"), std::string::npos);
}

// A long page ends with a pager of its own, which turns the page as the one above it does.
TEST(TreeRows, APagedListHasItsPagerAboveAndBelow)
{
    TempDir dir;
    HeadlessGui headless;
    ASSERT_TRUE(OpenDocument(headless, dir.Write("paged.arxml", PagedPackage(50))));
    headless.gui.tree.navigationTarget = headless.gui.state->FindRef("/P/S05").GetValue()->trail;
    EXPECT_EQ(Occurrences(MainWindowText(headless), "1 / 3"), 2);
    const std::vector<DrawnGlyph> glyphs = DrawnGlyphs(headless);
    auto lowerPlus =
        std::find_if(glyphs.rbegin(), glyphs.rend(), [](const DrawnGlyph& g) { return g.character == '+'; });
    ASSERT_NE(lowerPlus, glyphs.rend());
    ImGui::GetIO().MousePos = ImVec2(lowerPlus->position.x + 2, lowerPlus->position.y + 2);
    PressAndRelease(headless);
    EXPECT_EQ(Occurrences(MainWindowText(headless), "2 / 3"), 2);
}

TEST(TreeRows, ShowTextsVerbatimReferencesAndSiblingNumbers)
{
    TempDir dir;
    const std::string xml = R"(<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>
        <SYSTEM><SHORT-NAME>Sys</SHORT-NAME>
          <DESC>100%d %s %n done</DESC>
          <TARGET-REF>/P/Sys</TARGET-REF>
          <PLAIN>A/B</PLAIN>
          <DANGLING-REF>/P/Nope</DANGLING-REF>
          <FLAG x="1%s"/>
        </SYSTEM></ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>)";
    HeadlessGui headless;
    ASSERT_TRUE(OpenDocument(headless, dir.Write("rows.arxml", xml)));
    pugi::xml_node system =
        headless.gui.state->document->first_element_by_path("AUTOSAR/AR-PACKAGES/AR-PACKAGE/ELEMENTS/SYSTEM");
    ASSERT_TRUE(system);

    // Opening the SYSTEM row by navigating to its last child.
    headless.gui.tree.navigationTarget = Ref(system.child("FLAG"))->trail;
    const std::string text = MainWindowText(headless);
    for (const char* shown : {"100%d %s %n done", "1%s", "(empty)", "/P/Sys", "A/B", "[1]"})
        EXPECT_NE(text.find(shown), std::string::npos) << shown;
    EXPECT_EQ(Occurrences(text, "Open Ref"), 1) << "only the resolving reference gets an open button";
    EXPECT_EQ(text.find(" / 1"), std::string::npos) << "AR-PACKAGES is paged but fits one page";
}

TEST(ElementWindows, ResolvingPathShowsItsTreeOtherPathShowsTheLookupError)
{
    TempDir dir;
    HeadlessGui headless;
    ASSERT_TRUE(OpenDocument(headless, dir.Write("paged.arxml", PagedPackage(5))));
    for (const char* path : {"/P/S05", "/P/S05", "/P/Nope"})
        OpenElementWindow(headless.gui, path);
    headless.Frame();

    ImGuiWindow* found = ScrollingRegionOf("/P/S05##0");
    ASSERT_NE(found, nullptr);
    ImGuiWindow* second = ScrollingRegionOf("/P/S05##1");
    EXPECT_TRUE(second && second != found) << "one window per request";
    const ImGuiID rowScope = RowScope(found, headless.gui.state->id, {}, 0);
    EXPECT_EQ(found->StateStorage.GetInt(WithLabel(rowScope, "I-SIGNAL"), 0), 1)
        << "small element opens itself";

    ImGuiWindow* missing = ScrollingRegionOf("/P/Nope##2");
    ASSERT_NE(missing, nullptr);
    EXPECT_TRUE(missing->StateStorage.Data.empty()) << "no tree rows, only the error screen";
    EXPECT_EQ(headless.gui.elementWindows.entries.size(), 3u) << "an unresolved window stays until closed";
}

TEST(Clipboard, CopiesThroughTheGuiLibraryAndFailsWithoutIt)
{
    {
        HeadlessGui headless;
        EXPECT_TRUE(CopyToClipboard("/Body/%s/Speed"));
        EXPECT_STREQ(ImGui::GetClipboardText(), "/Body/%s/Speed");
    }
    EXPECT_FALSE(CopyToClipboard("no context"));
}

// Rows name their elements by the paths the lookups take. A SHORT-NAME holding "/" makes a path that
// cannot be rebuilt from the parent's path: an element window and its rows keep the path it was
// opened with. An empty SHORT-NAME is a step of its own, even at the top.
TEST(TreePaths, RowsShowThePathsTheLookupsTake)
{
    struct Case
    {
        const char* elements; // of package P, or of a package without a name when there is no window
        const char* window;   // an element window to read, or the main tree opened to the last path
        std::set<std::string> hovered;
    };
    const Case cases[] = {
        {"<I-SIGNAL><SHORT-NAME>a/b</SHORT-NAME></I-SIGNAL>", "/P/a/b", {"/P/a/b"}},
        {"<I-SIGNAL><SHORT-NAME>S</SHORT-NAME></I-SIGNAL>", nullptr, {"/", "//S"}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        HeadlessGui headless;
        const std::string package = c.window ? "P" : "";
        ASSERT_TRUE(OpenDocument(
            headless, dir.Write("paths.arxml", "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>" + package +
                                                   "</SHORT-NAME><ELEMENTS>" + c.elements +
                                                   "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>")));
        std::string windowName = "XML Tree View";
        if (!c.window) { // opened down to the deepest row
            Result<Ref> deepest = headless.gui.state->FindRef(*c.hovered.rbegin());
            ASSERT_EQ(deepest.status, ResultStatus::Done);
            headless.gui.Reveal(deepest.GetValue()->trail, *c.hovered.rbegin());
            headless.Frame();
        } else {
            OpenElementWindow(headless.gui, c.window);
            headless.Frame();
            windowName = std::string(c.window) + "##0";
            headless.Frame([&] { ImGui::SetWindowFocus(windowName.c_str()); });
        }
        ImGuiWindow* window = headless.FindWindow(windowName.c_str());
        ASSERT_NE(window, nullptr);

        std::set<std::string> hovered; // what the status line would show under the mouse
        ImGuiIO& io = ImGui::GetIO();
        for (float y = window->Pos.y; y < window->Pos.y + window->Size.y; y += 2) {
            io.MousePos = ImVec2(window->Pos.x + 40, y);
            headless.Frame();
            if (!headless.gui.statusText.empty())
                hovered.insert(headless.gui.statusText);
        }
        io.MousePos = ImVec2(-FLT_MAX, -FLT_MAX);
        EXPECT_EQ(hovered, c.hovered) << c.elements;
        for (const std::string& path : hovered)
            EXPECT_EQ(headless.gui.state->FindRef(path).status, ResultStatus::Done) << path;
    }
}
