#include "HeadlessGui.h"
#include "WindowProbe.h"
#include "support/TestDocuments.h"
#include "ui/About.h"

#include "Version.h"
#include "ui/About.h"
#include "ui/DocumentLabels.h"
#include "ui/NavigationHistory.h"
#include "ui/TreePaths.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// 50 signals (three pages of 20) and one element that refers to the 45th.
std::string Signals()
{
    std::string xml = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>";
    for (int i = 1; i <= 50; ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), "S%02d", i);
        xml += std::string("<I-SIGNAL><SHORT-NAME>") + name + "</SHORT-NAME></I-SIGNAL>";
    }
    xml += "</ELEMENTS></AR-PACKAGE><AR-PACKAGE><SHORT-NAME>Q</SHORT-NAME><ELEMENTS>"
           "<FRAME><SHORT-NAME>User</SHORT-NAME><SIGNAL-REF>/P/S45</SIGNAL-REF></FRAME>"
           "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>";
    return xml;
}

class Navigation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MapNamedKeys();
        ASSERT_TRUE(OpenDocument(headless, files.Write("signals.arxml", Signals())));
    }

    void Reveal(const std::string& path)
    {
        Result<Ref> target = headless.gui.state->FindRef(path);
        ASSERT_EQ(target.status, ResultStatus::Done) << path;
        headless.gui.Reveal(target.GetValue()->trail, path);
        headless.Frame();
    }

    TempDir files;
    HeadlessGui headless;
};

RevealEntry Entry(const char* path)
{
    return RevealEntry{path, {}, 1};
}

ImGuiIO& io()
{
    return ImGui::GetIO();
}

} // namespace

TEST(NavigationHistoryRules, BackAndForwardWalkRevealsANewRevealDropsWhatLiesAhead)
{
    NavigationHistory history;
    EXPECT_EQ(history.Back(), nullptr);
    for (const char* path : {"/A", "/B", "/B", "/C"})
        history.Record(Entry(path));
    EXPECT_EQ(history.Size(), 3u) << "the same place twice in a row is kept once";
    EXPECT_EQ(history.Back()->path, "/B");
    EXPECT_EQ(history.Back()->path, "/A");
    EXPECT_EQ(history.Back(), nullptr);
    EXPECT_EQ(history.Forward()->path, "/B");
    history.Record(Entry("/D"));
    EXPECT_FALSE(history.CanGoForward()) << "/C was ahead and is dropped";
    EXPECT_EQ(history.Back()->path, "/B");

    for (int i = 0; i < 500; ++i)
        history.Record(Entry(std::to_string(i).c_str()));
    EXPECT_EQ(history.Size(), NavigationHistory::kMaxEntries);
}

TEST_F(Navigation, AltArrowsAndMouseButtonsWalkTheRevealsInTheMainTree)
{
    Reveal("/P/S45");
    Reveal("/P/S05");
    EXPECT_EQ(MainWindowText(headless).find("3 / 3"), std::string::npos);

    io().ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;         // as the program runs
    headless.Frame([] { ImGui::SetWindowFocus("XML Tree View"); }); // as a click on the tree does
    PressKey(headless, 263, false, false, true);                    // Alt+Left
    EXPECT_NE(MainWindowText(headless).find("3 / 3"), std::string::npos) << "back on the page of S45";
    EXPECT_FALSE(headless.gui.history.CanGoBack());
    EXPECT_EQ(GImGui->NavLayer, ImGuiNavLayer_Main) << "letting Alt go left the keyboard in the tree";
    EXPECT_STREQ(GImGui->NavWindow->RootWindow->Name, "XML Tree View");

    PressKey(headless, 262, false, false, true); // Alt+Right
    EXPECT_NE(MainWindowText(headless).find("1 / 3"), std::string::npos);

    ImGuiIO& io = ImGui::GetIO();
    io.MouseDown[3] = true; // the mouse's back button
    headless.Frame();
    io.MouseDown[3] = false;
    EXPECT_NE(MainWindowText(headless).find("3 / 3"), std::string::npos);

    // A reloaded document takes the history along by path, never by the old document's nodes
    // (another file starts without one).
    headless.gui.Reload();
    bool reloading = false;
    ASSERT_TRUE(headless.FramesUntil([&] {
        reloading |= headless.gui.state->GetKind() == StateKind::Loading;
        return reloading && headless.gui.state->GetKind() == StateKind::Ready;
    }));
    io.MouseDown[4] = true;
    headless.Frame();
    io.MouseDown[4] = false;
    EXPECT_NE(MainWindowText(headless).find("1 / 3"), std::string::npos);
}

TEST_F(Navigation, GoToAndCtrlClickRevealTheTargetAtTheLeftEdgeWithoutAWindow)
{
    Reveal("/Q/User");
    ImGuiWindow* region = ScrollingRegionOf("XML Tree View");
    ASSERT_NE(region, nullptr);

    ASSERT_TRUE(ClickText(headless, "Go to"));
    headless.Frame();
    EXPECT_TRUE(headless.gui.elementWindows.entries.empty());
    EXPECT_NE(MainWindowText(headless).find("3 / 3"), std::string::npos) << "S45 is on page 3";
    ASSERT_EQ(headless.gui.history.Size(), 2u);
    EXPECT_EQ(region->Scroll.x, 0.0f);

    headless.gui.GoBack();
    headless.Frame();
    // Ctrl+click on the reference text and on Open Ref go to the definition too.
    ASSERT_TRUE(ClickText(headless, "/P/S45", true));
    EXPECT_TRUE(headless.gui.history.CanGoBack());
    headless.gui.GoBack();
    headless.Frame();
    ASSERT_TRUE(ClickText(headless, "Open Ref", true));
    EXPECT_TRUE(headless.gui.elementWindows.entries.empty());
    EXPECT_TRUE(headless.gui.history.CanGoBack());
    ASSERT_TRUE(ClickText(headless, "Open Ref"));
    EXPECT_EQ(headless.gui.elementWindows.entries.size(), 1u) << "a plain click still opens a window";

    // The tree is scrolled right; a reveal brings it back to its left edge.
    region->Scroll.x = 40;
    Reveal("/P/S05");
    headless.Frame();
    EXPECT_EQ(region->Scroll.x, 0.0f);
}

TEST_F(Navigation, InAFolderGoToAndBackOpenTheTargetsFileRowAndTheElement)
{
    // The signals in one file, the element that refers to the 45th in another.
    const std::string all = Signals();
    const size_t secondPackage = all.find("<AR-PACKAGE><SHORT-NAME>Q");
    TempDir folder;
    folder.Write("a.arxml", all.substr(0, secondPackage) + "</AR-PACKAGES></AUTOSAR>");
    folder.Write("b.arxml", "<AUTOSAR><AR-PACKAGES>" + all.substr(secondPackage));
    headless.gui.state->OpenFile(folder.Path().string());
    ASSERT_TRUE(headless.FramesUntil(
        [&] { return headless.gui.state->GetWorkspace() && headless.gui.state->GetWorkspace()->IsFolder(); },
        60));
    EXPECT_EQ(MainWindowText(headless).find("S01"), std::string::npos) << "file rows start closed";

    Reveal("/Q/User");
    ASSERT_TRUE(ClickText(headless, "Go to"));
    headless.Frame();
    EXPECT_EQ(headless.gui.history.Size(), 2u) << "going to the definition is recorded";
    std::string text = MainWindowText(headless);
    EXPECT_NE(text.find("3 / 3"), std::string::npos) << "the other file's row opens at S45's page";
    EXPECT_NE(text.find("S45"), std::string::npos);

    Reveal("/P/S05");
    EXPECT_NE(MainWindowText(headless).find("1 / 3"), std::string::npos);
    headless.gui.GoBack();
    headless.Frame();
    EXPECT_NE(MainWindowText(headless).find("3 / 3"), std::string::npos) << "Back reveals S45 again";
    headless.gui.GoForward();
    headless.Frame();
    EXPECT_NE(MainWindowText(headless).find("1 / 3"), std::string::npos) << "Forward reveals S05 again";
}

TEST_F(Navigation, ShortcutsOpenTheFindWindowsAndEscapeClosesMenusThenTheFocusedWindow)
{
    Gui& gui = headless.gui;
    PressKey(headless, 'F', true);
    EXPECT_TRUE(gui.findText.shown);
    io().AddInputCharactersUTF8("S45");
    headless.Frame();
    EXPECT_TRUE(headless.FramesUntil([&] { return Drew(headless, "Found"); }, 30))
        << "Ctrl+F typed into the search field";

    PressKey(headless, 'G', true);
    EXPECT_TRUE(gui.findRef.shown);
    PressKey(headless, 'G', true, true);
    EXPECT_TRUE(gui.findShortname.shown);
    io().AddInputCharactersUTF8("S05");
    headless.Frame();
    PressKey(headless, 257); // Enter shows the answer in the main window
    EXPECT_EQ(gui.history.Size(), 1u);

    PressKey(headless, 256);
    EXPECT_FALSE(gui.findShortname.shown) << "Escape closed the focused dialog";
    EXPECT_TRUE(gui.findRef.shown);
    gui.brokenRefs.shown = true; // a window that appears takes the focus
    headless.Frame();
    PressKey(headless, 256);
    EXPECT_FALSE(gui.brokenRefs.shown);
    EXPECT_TRUE(gui.findRef.shown);

    ASSERT_TRUE(ClickText(headless, "Navigate"));
    EXPECT_TRUE(Drew(headless, "Ctrl+Shift+G"));
    EXPECT_TRUE(Drew(headless, "Alt+Left"));
    PressKey(headless, 256);
    EXPECT_EQ(GImGui->OpenPopupStack.Size, 0) << "Escape closed the menu";
    EXPECT_TRUE(gui.findRef.shown) << "and nothing else";
    ASSERT_TRUE(ClickText(headless, "File"));
    EXPECT_TRUE(Drew(headless, "Ctrl+O"));
    EXPECT_TRUE(Drew(headless, "F5"));
}

TEST_F(Navigation, CtrlBBookmarksTheRowUnderTheMouse)
{
    Reveal("/Q/User");
    const ImVec2 at = TextPosition(headless, "User");
    ASSERT_GE(at.x, 0);
    ImGui::GetIO().MousePos = at;
    headless.Frame();
    PressKey(headless, 'B', true);
    EXPECT_EQ(headless.gui.bookmarks.count("/Q/User"), 1u);
    PressKey(headless, 'B', true);
    EXPECT_EQ(headless.gui.bookmarks.count("/Q/User"), 0u) << "a second Ctrl+B removes it";
}

TEST_F(Navigation, NoHitsLeaveTheResultButtonsInertAndTooltipsAreOpaque)
{
    EXPECT_EQ(RefCountTooltip(1), "1 reference to this element");
    EXPECT_EQ(RefCountTooltip(3), "3 refs to this element");

    PressKey(headless, 'F', true);
    io().AddInputCharactersUTF8("nowhere-at-all");
    ASSERT_TRUE(headless.FramesUntil([&] { return Drew(headless, "Found 0 results."); }, 30));
    EXPECT_FALSE(ClickRowButton(headless, "Full-Text Search", "Show in main window", "Show in main window"));
    EXPECT_FALSE(ClickRowButton(headless, "Full-Text Search", "Open in new window", "Show in main window"));
    headless.gui.findText.shown = false;

    // The count button of S01 is disabled (no referrers); its tooltip is drawn at full opacity.
    Reveal("/P/S01");
    const ImVec2 name = TextPosition(headless, "S01");
    ImGui::GetIO().MousePos = name;
    headless.Frame();
    const ImVec2 count =
        TextPosition(headless, "S01?0"); // the name, then the count button: icon (no glyph), "0"
    ASSERT_GE(count.x, 0);
    ImGui::GetIO().MousePos = count;
    ImGuiWindow* tooltip = nullptr;
    ASSERT_TRUE(headless.FramesUntil(
        [&] {
            tooltip = ImGui::FindWindowByName("##Tooltip_00");
            return tooltip && tooltip->Active;
        },
        10));
    headless.Frame();
    int faint = 0;
    for (const ImDrawVert& vertex : tooltip->DrawList->VtxBuffer) {
        // The tooltip's white text; anti-aliased fringes (alpha 0) and the border have other colours.
        const unsigned alpha = (vertex.col >> IM_COL32_A_SHIFT) & 0xFF;
        faint += (vertex.col & 0xFFFFFF) == 0xFFFFFF && alpha > 0 && alpha < 0xF0 ? 1 : 0;
    }
    EXPECT_EQ(faint, 0);
}

TEST(DocumentLabels, TitleNamesTheOpenFileAndTheLoadingLineItsSize)
{
    EXPECT_EQ(WindowTitle(""), std::string(kTessaroNameAndVersion));
    EXPECT_EQ(WindowTitle("/data/projects/system.arxml"),
              "system.arxml - " + std::string(kTessaroNameAndVersion));
    EXPECT_EQ(ReadableSize(999), "999 bytes");
    EXPECT_EQ(ReadableSize(1000), "1.0 KB");
    EXPECT_EQ(ReadableSize(104857600), "105 MB");
    EXPECT_EQ(ReadableSize(999999), "1.0 MB") << "never 1000.0 KB";

    TempDir dir;
    const std::string file = dir.Write("small.arxml", std::string(2500, 'x'));
    EXPECT_EQ(FileNameAndSize(file), "small.arxml (2.5 KB)");
    EXPECT_EQ(FileNameAndSize(dir.File("gone.arxml")), "gone.arxml");

    // A folder: its name, the files loaded so far, and the phase.
    WorkspaceProgress progress;
    EXPECT_EQ(FolderLoadingLines("/data/project/", progress), "project\nLooking for files");
    progress.files = 12;
    progress.read = 5;
    progress.indexed = 3;
    EXPECT_EQ(FolderLoadingLines("/data/project", progress), "project\n3 of 12 files loaded\nReading files");
    progress.read = 12;
    EXPECT_EQ(FolderLoadingLines("/data/project", progress), "project\n3 of 12 files loaded\nIndexing");

    HeadlessGui headless;
    headless.gui.recentOpenFiles = {file};
    EXPECT_TRUE(Drew(headless, "Open a file (Ctrl+O) or drop one here"));
    // No web site to link to: the status line names the version and the licence.
    EXPECT_TRUE(Drew(headless, std::string("Tessaro ") + About::kVersion + ", MIT License"));
    ASSERT_TRUE(ClickText(headless, file));
    EXPECT_EQ(OpenDocumentPath(*headless.gui.state), file) << "a recent file on the start screen opens";
}
