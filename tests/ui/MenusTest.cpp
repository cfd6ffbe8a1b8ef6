#include "HeadlessGui.h"
#include "WindowProbe.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// Drives the menus with the mouse, as a user would: positions come from the GUI library's own
// records of the menu bar and of the open popups.
class MenuMouse
{
public:
    explicit MenuMouse(HeadlessGui& headless) : headless(headless) { headless.Frame(); }

    bool MoveTo(ImVec2 position)
    {
        ImGui::GetIO().MousePos = position;
        return headless.Frame();
    }

    // Returns whether a frame of the click asked the program to end.
    bool Click(ImVec2 position)
    {
        ImGuiIO& io = ImGui::GetIO();
        bool quit = MoveTo(position);
        io.MouseDown[0] = true;
        quit |= headless.Frame();
        io.MouseDown[0] = false;
        quit |= headless.Frame();
        return quit;
    }

    // Opens a menu of the main menu bar: a click on the first one, then hovering along the bar.
    ImGuiWindow* OpenMenu(const char* label)
    {
        ImGuiWindow* main = headless.FindWindow("XML Tree View");
        const ImRect bar = main->MenuBarRect();
        const ImGuiID wanted = ImHashStr(label, 0, ImHashStr("##menubar", 0, main->ID));
        Click(ImVec2(bar.Min.x + 20, bar.GetCenter().y));
        for (float x = bar.Min.x + 20; x < bar.Max.x; x += 6) {
            if (!GImGui->OpenPopupStack.empty() && GImGui->OpenPopupStack[0].PopupId == wanted) {
                if (!GImGui->OpenPopupStack[0].Window)
                    headless.Frame(); // the popup window appears a frame after it was opened
                return GImGui->OpenPopupStack[0].Window;
            }
            MoveTo(ImVec2(x, bar.GetCenter().y));
        }
        return nullptr;
    }

    // Opens a menu and hovers its row until the submenu under it opens; null when it does not.
    ImGuiWindow* OpenSubmenu(const char* label, int row)
    {
        ImGuiWindow* menu = OpenMenu(label);
        for (int frame = 0; menu && frame < 10; ++frame) {
            if (GImGui->OpenPopupStack.Size >= 2)
                return GImGui->OpenPopupStack[1].Window;
            MoveTo(Row(menu, row));
        }
        return nullptr;
    }

    // Centre-left point of the n-th row of a menu; `extra` adds pixels (for separators).
    static ImVec2 Row(ImGuiWindow* menu, int n, float extra = 0)
    {
        const float fontSize = ImGui::GetFontSize();
        const float pitch = fontSize + ImGui::GetStyle().ItemSpacing.y;
        return ImVec2(menu->DC.CursorStartPos.x + 3 * fontSize + 10,
                      menu->DC.CursorStartPos.y + n * pitch + extra + fontSize / 2);
    }

private:
    HeadlessGui& headless;
};

} // namespace

TEST(Menus, ShowTooltipsTogglesAndExitEndsTheProgramAfterTheFrame)
{
    HeadlessGui headless;
    MenuMouse mouse(headless);
    ASSERT_TRUE(headless.gui.showTooltips);
    for (bool expected : {false, true}) {
        ImGuiWindow* options = mouse.OpenMenu("Options");
        ASSERT_NE(options, nullptr);
        mouse.Click(MenuMouse::Row(options, 0));
        EXPECT_EQ(headless.gui.showTooltips, expected);
    }

    ImGuiWindow* file = mouse.OpenMenu("File");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(mouse.Click(MenuMouse::Row(file, 8))); // after Reload
    EXPECT_FALSE(headless.gui.keepRunning);
}

TEST(FileMenu, OpenRecentMovesTheFileToTheFrontAndClearRecentFilesEmptiesTheList)
{
    TempDir dir;
    HeadlessGui headless;
    const std::string a = dir.File("a.arxml"), b = dir.File("b##%s.arxml"), c = dir.File("c.arxml");
    headless.gui.recentOpenFiles = {a, b, c};
    MenuMouse mouse(headless);
    ImGuiWindow* recent = mouse.OpenSubmenu("File", 4);
    ASSERT_NE(recent, nullptr);
    mouse.Click(MenuMouse::Row(recent, 2));
    EXPECT_EQ(headless.gui.recentOpenFiles, (std::list<std::string>{c, a, b}));
    // The file does not exist: it is still opened, and the failure is the error state's.
    ASSERT_TRUE(headless.FramesUntil([&] { return headless.gui.state->GetKind() == StateKind::Error; }));
    EXPECT_NE(headless.gui.state->GetErrorMessage().find(c), std::string::npos);

    recent = mouse.OpenSubmenu("File", 4);
    ASSERT_NE(recent, nullptr);
    mouse.Click(MenuMouse::Row(recent, 3, 1 + ImGui::GetStyle().ItemSpacing.y)); // below the separator
    EXPECT_TRUE(headless.gui.recentOpenFiles.empty());
    EXPECT_EQ(mouse.OpenSubmenu("File", 4), nullptr) << "Open Recent is disabled when empty";
    EXPECT_EQ(GImGui->OpenPopupStack.Size, 1) << "only the File menu opened";
}

// A dialog answers on a thread of its own; the next frame opens what it chose.
TEST(FileMenu, APathChosenInADialogOnAnotherThreadOpensOnTheNextFrame)
{
    TempDir dir;
    HeadlessGui headless;
    const std::string file = dir.Write("chosen.arxml", "<AUTOSAR/>");
    std::thread dialog([choices = headless.gui.dialogChoices] {
        choices->Post({""}); // cancelled
        choices->Post({"/first/one.arxml"});
    });
    dialog.join();
    std::thread([&, choices = headless.gui.dialogChoices] { choices->Post({file}); }).join();
    EXPECT_EQ(headless.gui.state->GetKind(), StateKind::Initial) << "nothing opens outside a frame";
    headless.Frame();
    EXPECT_EQ(headless.gui.recentOpenFiles, (std::list<std::string>{file, "/first/one.arxml"}));
    EXPECT_EQ(headless.gui.state->GetFilePath(), file) << "the last choice wins";
    EXPECT_TRUE(headless.gui.dialogChoices->Take().empty());
}

TEST(NavigateMenu, BookmarksNavigateOpeningTheFileTheyWereMadeInUnresolvedOnesAreInert)
{
    TempDir dir;
    std::string xml = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>";
    for (int i = 1; i <= 30; ++i)
        xml += "<I-SIGNAL><SHORT-NAME>S" + std::to_string(i) + "</SHORT-NAME></I-SIGNAL>";
    xml += "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>";
    HeadlessGui headless;
    const std::string file = dir.Write("b.arxml", xml);
    ASSERT_TRUE(OpenDocument(headless, file));
    headless.gui.bookmarks = {"/Nope", "/P/S25"}; // byte order: the unresolved one first
    MenuMouse mouse(headless);
    for (int row : {0, 1}) {
        ImGuiWindow* bookmarks = mouse.OpenSubmenu("Navigate", 3);
        ASSERT_NE(bookmarks, nullptr);
        mouse.Click(MenuMouse::Row(bookmarks, row));
        EXPECT_EQ(headless.gui.tree.navigationTarget.empty(), row == 0)
            << "an unresolved bookmark sets no target";
    }
    const std::string text = MainWindowText(headless);
    EXPECT_NE(text.find("2 / 2"), std::string::npos);
    EXPECT_NE(text.find("S25"), std::string::npos);

    // Made in b.arxml, a bookmark chosen while another file is open opens b.arxml again and goes
    // to its element once it is shown.
    headless.gui.bookmarks.clear();
    headless.gui.ToggleBookmark("/P/S25");
    ASSERT_TRUE(OpenDocument(headless, dir.Write("a.arxml", "<AUTOSAR/>")));
    mouse.Click(MenuMouse::Row(mouse.OpenSubmenu("Navigate", 3), 0));
    ASSERT_TRUE(headless.FramesUntil([&] { return headless.gui.history.Size() == 1; }));
    EXPECT_EQ(headless.gui.state->GetFilePath(), file);
    EXPECT_EQ(headless.gui.recentOpenFiles.front(), file);
}

// A bookmark too long for the room beside the Navigate menu neither lays the submenu over the menu
// nor runs past the window: it is shown by its end.
TEST(NavigateMenu, TheBookmarksSubmenuStandsBesideItsMenu)
{
    HeadlessGui headless;
    const std::string longPath = "/" + std::string(300, 'L') + "/End";
    headless.gui.bookmarks = {longPath};
    MenuMouse mouse(headless);
    ImGuiWindow* submenu = mouse.OpenSubmenu("Navigate", 3);
    ASSERT_NE(submenu, nullptr);
    headless.Frame();
    const ImGuiWindow* menu = GImGui->OpenPopupStack[0].Window;
    const float overlap = ImGui::GetStyle().ItemInnerSpacing.x;
    EXPECT_TRUE(submenu->Pos.x >= menu->Pos.x + menu->Size.x - overlap ||
                submenu->Pos.x + submenu->Size.x <= menu->Pos.x + overlap)
        << "menu " << menu->Pos.x << "+" << menu->Size.x << ", submenu " << submenu->Pos.x << "+"
        << submenu->Size.x;
    EXPECT_LE(submenu->Pos.x + submenu->Size.x, ImGui::GetIO().DisplaySize.x);
    EXPECT_TRUE(Drew(headless, "LLL/End"));
}
