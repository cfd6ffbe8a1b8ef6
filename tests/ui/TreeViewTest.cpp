#include "HeadlessGui.h"
#include "WindowProbe.h"
#include "support/TestDocuments.h"

#include "bench/DocumentGenerator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
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
    headless.gui.navigationTarget = target.GetValue()->trail;
    const std::string text = MainWindowText(headless);
    EXPECT_TRUE(headless.gui.navigationTarget.empty()) << "the main tree consumes the target";

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
    headless.gui.navigationTarget = Ref(system.child("FLAG"))->trail;
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
        headless.gui.OpenElementWindow(path);
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
    EXPECT_EQ(headless.gui.elementWindows.size(), 3u) << "an unresolved window stays until closed";
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

// Frame cost on a large document. Prints figures; run with --gtest_also_run_disabled_tests.
TEST(TreeFrameTime, DISABLED_LargeDocument)
{
    TempDir dir;
    const std::string path = dir.File("large.arxml");
    GeneratedDocument generated = WriteGeneratedArxmlFile(path, 100ull << 20, 7);
    std::printf("document: %llu bytes, %llu named elements\n", (unsigned long long)generated.bytes,
                (unsigned long long)generated.elements);

    HeadlessGui headless;
    auto opened = std::chrono::steady_clock::now();
    ASSERT_TRUE(OpenDocument(headless, path, 120));
    std::printf("open to ready: %.1f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - opened).count());
    auto measure = [&](const char* what) {
        for (int i = 0; i < 5; ++i)
            headless.Frame();
        const int frames = 200;
        // CPU time of this thread as well as wall time: the machine may be shared.
        auto cpuMs = [] {
            timespec t;
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
            return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
        };
        const double cpuStart = cpuMs();
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < frames; ++i)
            headless.Frame();
        double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: %.3f ms per frame wall, %.3f ms CPU (%d vertices drawn)\n", what, ms / frames,
                    (cpuMs() - cpuStart) / frames, ImGui::GetIO().MetricsRenderVertices);
    };

    // The top levels: the packages of the first page and their sub-packages, opened by navigating
    // to each sub-package; then also the element list of every such sub-package.
    pugi::xml_node packages = headless.gui.state->document->document_element().child("AR-PACKAGES");
    std::vector<pugi::xml_node> subPackages;
    int clusters = 0;
    for (pugi::xml_node package = packages.first_child(); package && clusters < 20;
         package = package.next_sibling(), ++clusters) {
        for (pugi::xml_node sub : package.child("AR-PACKAGES").children("AR-PACKAGE"))
            subPackages.push_back(sub);
    }
    for (pugi::xml_node sub : subPackages) {
        headless.gui.navigationTarget = Ref(sub)->trail;
        headless.Frame();
    }
    measure("top levels open (20 packages, their sub-packages)");

    std::vector<std::string> named;
    for (pugi::xml_node sub : subPackages) {
        if (pugi::xml_node element = sub.child("ELEMENTS").first_child()) {
            headless.gui.navigationTarget = Ref(element)->trail;
            headless.Frame();
            named.push_back(Ref(element)->path);
        }
    }
    std::printf("element lists open: %zu\n", named.size());
    measure("top levels and every sub-package's first page of elements open");

    for (size_t i = 0; i < 20 && i < named.size(); ++i)
        headless.gui.OpenElementWindow(named[i]);
    measure("top levels open, 20 element windows");

    // The filter: a digit common to many names, so that the kept tree is large.
    headless.gui.elementWindows.clear();
    headless.gui.focusFilter = true;
    headless.Frame();
    TypeText(headless, "7");
    auto filtering = std::chrono::steady_clock::now();
    ASSERT_TRUE(headless.FramesUntil([&] { return headless.gui.shownFilter != nullptr; }, 120));
    std::printf("filter \"7\": %zu matches in %.2f s (frames kept running meanwhile)\n",
                headless.gui.shownFilter->matchCount,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - filtering).count());
    measure("filter active");
}

// A SHORT-NAME holding "/" makes a path that cannot be rebuilt from the parent's path; the window
// and its rows use the path the element was found by.
TEST(ElementWindows, TheTopRowKeepsThePathItWasOpenedWith)
{
    TempDir dir;
    HeadlessGui headless;
    ASSERT_TRUE(OpenDocument(
        headless, dir.Write("slash.arxml", "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME>"
                                           "<ELEMENTS><I-SIGNAL><SHORT-NAME>a/b</SHORT-NAME></I-SIGNAL>"
                                           "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>")));
    headless.gui.OpenElementWindow("/P/a/b");
    headless.Frame();
    headless.Frame([] { ImGui::SetWindowFocus("/P/a/b##0"); });
    ImGuiWindow* window = headless.FindWindow("/P/a/b##0");
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
    EXPECT_EQ(hovered, std::set<std::string>{"/P/a/b"});
}
