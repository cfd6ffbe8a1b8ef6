// Comparing the open document with another version: the tree marks, the Changes window and F8.
#include "WindowProbe.h"

#include "lifecycle/Comparison.h"
#include "model/Workspace.h"
#include "ui/ChangeLabels.h"
#include "ui/TreePaths.h"

#include <gtest/gtest.h>

namespace {

std::string Version(const std::string& elements)
{
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>)" +
           elements + "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>";
}

constexpr int kF8 = 297; // any number the shell could hand over

TEST(CompareView, MarksListsAndStepsThroughTheChangesInTreeOrder)
{
    TempDir dir;
    const std::string oldPath = dir.Write("old.arxml", Version(R"(
        <I-SIGNAL><SHORT-NAME>Keep</SHORT-NAME><LENGTH>8</LENGTH></I-SIGNAL>
        <I-SIGNAL><SHORT-NAME>Gone</SHORT-NAME><LENGTH>4</LENGTH></I-SIGNAL>
        <I-SIGNAL><SHORT-NAME>Same</SHORT-NAME><LENGTH>1</LENGTH></I-SIGNAL>)"));
    const std::string newPath = dir.Write("new.arxml", Version(R"(
        <I-SIGNAL><SHORT-NAME>Same</SHORT-NAME><LENGTH>1</LENGTH></I-SIGNAL>
        <I-SIGNAL><SHORT-NAME>Keep</SHORT-NAME><LENGTH>16</LENGTH></I-SIGNAL>
        <I-SIGNAL><SHORT-NAME>Fresh</SHORT-NAME><LENGTH>2</LENGTH></I-SIGNAL>)"));
    HeadlessGui headless;
    Gui& gui = headless.gui;
    gui.keys.nextChange = kF8;
    ASSERT_TRUE(OpenDocument(headless, oldPath));
    gui.CompareWith(newPath);
    ASSERT_TRUE(headless.FramesUntil([&] { return gui.shownChanges != nullptr; }));
    headless.Frame();

    // The package, closed, counts the changes below it, the added element's too; so does every
    // level above.
    EXPECT_NE(Squash(MainWindowText(headless)).find("AR-PACKAGE(3changes)"), std::string::npos)
        << MainWindowText(headless);
    const pugi::xml_node root = gui.state->GetWorkspace()->Files()[0].document->document_element();
    ASSERT_NE(gui.shownChanges->MarkOf(root), nullptr);
    EXPECT_EQ(gui.shownChanges->MarkOf(root)->below, 3u);

    // The Changes window lists them in tree order, the value with its old and new text, the added
    // element after the old version's own elements of its parent.
    const std::string listed = Squash(FrameText(headless));
    for (const char* row : {"added/P/Fresh", "changed/P/KeepLENGTH816", "removed/P/Gone"})
        EXPECT_NE(listed.find(row), std::string::npos) << row << " in " << listed;
    EXPECT_LT(listed.find("changed/P/Keep"), listed.find("removed/P/Gone"));
    EXPECT_LT(listed.find("removed/P/Gone"), listed.find("added/P/Fresh"));
    EXPECT_NE(listed.find("3of3changesfromnew.arxml"), std::string::npos);

    // A click on a row goes to its element.
    ASSERT_TRUE(ClickText(headless, "/P/Gone"));
    headless.Frame();
    ASSERT_NE(gui.history.Current(), nullptr);
    EXPECT_EQ(gui.history.Current()->path, "/P/Gone");

    // F8 steps forward through the tree order from the first change, Shift+F8 back.
    const struct
    {
        bool shift;
        const char* revealed;
    } steps[] = {
        {false, "/P/Keep"}, {false, "/P/Gone"}, {false, "/P/Fresh"}, {false, "/P/Keep"}, {true, "/P/Fresh"}};
    for (const auto& step : steps) {
        PressKey(headless, kF8, false, step.shift);
        EXPECT_EQ(gui.history.Current()->path, step.revealed) << (step.shift ? "Shift+F8" : "F8");
    }
    // Opened down to them, the changed value and the removed element carry markers of their own;
    // the added element has a row of its own after the old ones, its content below it.
    const std::string tree = Squash(MainWindowText(headless));
    for (const char* row : {">LENGTH~changed", ">I-SIGNAL-removed[2]", ">I-SIGNAL+added"})
        EXPECT_NE(tree.find(row), std::string::npos) << row << " in " << tree;
    EXPECT_LT(tree.find("Same"), tree.find("Fresh")) << tree;
    EXPECT_NE(tree.find("LENGTH", tree.find("Fresh")), std::string::npos) << tree;

    // An element's window shows what changed on it, with the old and the new text, and both
    // versions side by side, the differing value marked in each.
    OpenElementWindow(gui, "/P/Keep");
    headless.Frame();
    const std::string window = Squash(FrameText(headless));
    for (const char* shown : {"changedLENGTH:8->16", "old.arxml", "PCDATA:16"})
        EXPECT_NE(window.find(shown), std::string::npos) << shown << " in " << window;
    EXPECT_EQ(Occurrences(window, "LENGTH~changed"), 3) << window; // the main tree's, and one per version
    gui.elementWindows.entries.clear();

    // "changed only" keeps the rows with a change and the way to them, and F8 keeps it on.
    ASSERT_TRUE(ClickText(headless, "changed only"));
    PressKey(headless, kF8);
    const std::string changedOnly = Squash(MainWindowText(headless));
    EXPECT_NE(changedOnly.find("3changedrows"), std::string::npos) << changedOnly;
    for (const char* shown : {"Gone", "Fresh"})
        EXPECT_NE(changedOnly.find(shown), std::string::npos) << shown << " in " << changedOnly;
    EXPECT_EQ(changedOnly.find("Same"), std::string::npos) << changedOnly;

    // With a text too, the changed rows whose element it matches, an added one by its own name.
    for (const char* text : {"Gone", "fresh"}) {
        gui.filterBar.focus = true; // taken a frame after asking
        headless.Frame();
        headless.Frame();
        TypeText(headless, text);
        const bool gone = text == std::string("Gone");
        const char* other = gone ? "Fresh" : "Gone";
        const char* row = gone ? ">I-SIGNAL-removed" : ">I-SIGNAL+added";
        std::string both;
        EXPECT_TRUE(headless.FramesUntil([&] {
            both = Squash(MainWindowText(headless));
            return Drew(headless, "1 changed row") && both.find(other) == std::string::npos &&
                   both.find(row) != std::string::npos;
        })) << text
            << " in " << both;
        EXPECT_EQ(both.find("Keep"), std::string::npos) << both;
    }
    TypeText(headless, "");

    // A row's last button opens the element in the other version.
    const ImVec2 keepRow = TextPosition(headless, "/P/Keep");
    ImGuiWindow* changesWindow = headless.FindWindow("Changes");
    ASSERT_TRUE(keepRow.y > 0 && changesWindow);
    ImGui::GetIO().MousePos = ImVec2(changesWindow->InnerRect.Max.x - 2 * ImGui::GetFontSize(), keepRow.y);
    headless.Frame();
    PressAndRelease(headless);
    headless.Frame();
    EXPECT_EQ(gui.otherVersion.Count(), 1u);
    EXPECT_NE(Squash(FrameText(headless)).find("/P/Keepinnew.arxml"), std::string::npos)
        << FrameText(headless);
    EXPECT_NE(Squash(FrameText(headless)).find("LENGTH~changed?16"), std::string::npos)
        << FrameText(headless);

    // A version that does not load is an error, never "no changes"; so is an open one that did not.
    const std::string broken = dir.Write("broken.arxml", "<AUTOSAR>");
    gui.CompareWith(broken);
    EXPECT_TRUE(headless.FramesUntil([&] { return gui.comparison->Poll().status == ResultStatus::Error; }));
    gui.changes.shown = false; // the status line says so too
    headless.Frame();
    EXPECT_NE(MainWindowText(headless).find("Could not compare: "), std::string::npos)
        << MainWindowText(headless);
    gui.state->OpenFile(broken);
    ASSERT_TRUE(headless.FramesUntil([&] { return gui.state->GetKind() == StateKind::Error; }));
    gui.CompareWith(newPath);
    EXPECT_TRUE(headless.FramesUntil([&] { return gui.comparison->Poll().status == ResultStatus::Error; }));

    // Another document opened drops the comparison and its marks.
    const std::string other = dir.Write("other.arxml", Version(""));
    ASSERT_TRUE(OpenDocument(headless, other));
    EXPECT_EQ(gui.comparison, nullptr);
    EXPECT_FALSE(gui.changes.shown);
    EXPECT_EQ(gui.otherVersion.Count(), 0u);
    EXPECT_EQ(Occurrences(Squash(MainWindowText(headless)), "changed"), 0);
}

TEST(CompareView, AddedRowsArePagedAfterTheOwnChildrenAndStepsReachTheirPage)
{
    TempDir dir;
    std::string added;
    for (char i = 0; i < 25; ++i)
        added += "<I-SIGNAL><SHORT-NAME>Add" + std::string(1, char('A' + i)) + "</SHORT-NAME></I-SIGNAL>";
    HeadlessGui headless;
    Gui& gui = headless.gui;
    gui.keys.nextChange = kF8;
    ASSERT_TRUE(OpenDocument(headless, dir.Write("old.arxml", Version(""))));
    gui.CompareWith(dir.Write("new.arxml", Version(added)));
    ASSERT_TRUE(headless.FramesUntil([&] { return gui.shownChanges != nullptr; }));
    gui.changes.shown = false;

    // The last one sits on the second page of 20 rows; the list the open version has empty is
    // not said to be empty.
    PressKey(headless, kF8, false, true);
    const std::string tree = Squash(MainWindowText(headless));
    for (const char* shown : {"AddY", "AddU", "2/2"})
        EXPECT_NE(tree.find(shown), std::string::npos) << shown << " in " << tree;
    for (const char* hidden : {"AddT", "(empty)"})
        EXPECT_EQ(tree.find(hidden), std::string::npos) << hidden << " in " << tree;
}

// Added elements are the other version's: what their references name, who refers to them and
// the elements themselves are looked up there, where the open version has none of them.
TEST(CompareView, AddedRowsResolveTheirReferencesAndCountTheirReferrersInTheirOwnVersion)
{
    TempDir dir;
    HeadlessGui headless;
    Gui& gui = headless.gui;
    gui.keys.nextChange = kF8;
    ASSERT_TRUE(OpenDocument(headless, dir.Write("old.arxml", Version(""))));
    gui.CompareWith(dir.Write("new.arxml", Version(R"(
        <I-SIGNAL><SHORT-NAME>Src</SHORT-NAME><SIGNAL-REF DEST="I-SIGNAL">/P/Dst</SIGNAL-REF></I-SIGNAL>
        <I-SIGNAL><SHORT-NAME>Dst</SHORT-NAME></I-SIGNAL>)")));
    ASSERT_TRUE(headless.FramesUntil([&] { return gui.shownChanges != nullptr; }));
    gui.changes.shown = false;
    PressKey(headless, kF8); // Dst
    PressKey(headless, kF8); // Src, open below it

    const std::string tree = Squash(MainWindowText(headless));
    const size_t reference = tree.find("/P/Dst");
    ASSERT_NE(reference, std::string::npos) << tree;
    EXPECT_NE(tree.find("OpenRef", reference), std::string::npos) << tree;
    EXPECT_NE(tree.find(std::string("Dst[") + Icon::Count + "1]"), std::string::npos) << tree;
    ASSERT_TRUE(ClickText(headless, "Open Ref"));
    headless.Frame();
    EXPECT_NE(Squash(FrameText(headless)).find("/P/Dstinnew.arxml"), std::string::npos)
        << FrameText(headless);

    // Asked for by path, such an element opens in a window on its version, not as "not found".
    OpenElementWindow(gui, "/P/Src");
    EXPECT_EQ(gui.otherVersion.Count(), 2u);
    EXPECT_TRUE(gui.elementWindows.entries.empty());
}

TEST(CompareView, TheChangesWindowFiltersByKindAndByTextInAnyColumnCaseIgnored)
{
    const ModelChange value{ChangeKind::Changed, "/P/Keep", "", {}, {}, "LENGTH", "8", "16"};
    const ModelChange moved{ChangeKind::Moved, "/Q/Keep", "/P/Keep", {}, {}, "", nullptr, nullptr};
    const unsigned all = 0xF, onlyMoved = 1u << unsigned(ChangeKind::Moved);
    const struct
    {
        const ModelChange& change;
        unsigned kinds;
        const char* text;
        bool shown;
    } cases[] = {
        {value, all, "", true},         {value, onlyMoved, "", false}, {value, all, "length", true},
        {value, all, "16", true},       {value, all, "/p/kee", true},  {value, all, "32", false},
        {moved, onlyMoved, "/P", true}, {moved, all, "/Q/K", true},    {moved, all, "LENGTH", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChangeShown(c.change, c.kinds, c.text), c.shown)
            << c.change.path << " kinds " << c.kinds << " text " << c.text;
}

} // namespace
