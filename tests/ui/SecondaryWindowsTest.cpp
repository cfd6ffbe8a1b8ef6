// Secondary windows with a window host: each is drawn in a context of its own, closing it through
// the desktop lets it go, and keys act in the window that has them.
#include "WindowProbe.h"

#include "ui/HeadlessWindowHost.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class SecondaryWindows : public ::testing::Test
{
protected:
    SecondaryWindows()
    {
        headless.gui.windowHost = &host;
        MapNamedKeys();
    }

    void Frame()
    {
        headless.Frame();
        host.AfterFrame();
    }

    // Whether the context of the window `name` holds a window of the GUI library of that name.
    bool DrawnIn(const std::string& name, ImGuiContext* context)
    {
        ImGuiContext* main = ImGui::GetCurrentContext();
        ImGui::SetCurrentContext(context);
        const bool found = ImGui::FindWindowByName(name.c_str()) != nullptr;
        ImGui::SetCurrentContext(main);
        return found;
    }

    // Presses `key` in the window `name`: down for a frame, then up.
    void PressIn(const std::string& name, int key, bool ctrl = false)
    {
        ImGuiContext* main = ImGui::GetCurrentContext();
        for (bool down : {true, false}) {
            ImGui::SetCurrentContext(host.Context(name));
            ImGuiIO& io = ImGui::GetIO();
            io.KeysDown[key] = down;
            io.KeyCtrl = ctrl && down;
            ImGui::SetCurrentContext(main);
            Frame();
        }
    }

    HeadlessGui headless;
    HeadlessWindowHost host; // after the main context: goes first
};

TEST_F(SecondaryWindows, EachHasAContextOfItsOwnAndClosingItThroughTheDesktopLetsItGo)
{
    Gui& gui = headless.gui;
    const struct
    {
        const char* what;
        std::function<std::string()> open; // opens the window and names it
        std::function<bool()> shown;
    } cases[] = {
        {"About", [&] { return gui.about.shown = true, "About"; }, [&] { return gui.about.shown; }},
        {"Find Text", [&] { return gui.findText.shown = true, "Full-Text Search"; },
         [&] { return gui.findText.shown; }},
        {"Broken References", [&] { return gui.brokenRefs.shown = true, "Broken References"; },
         [&] { return gui.brokenRefs.shown; }},
        {"Find Ref", [&] { return gui.findRef.shown = true, "Find Ref"; }, [&] { return gui.findRef.shown; }},
        {"Find Shortname", [&] { return gui.findShortname.shown = true, "Find Shortname"; },
         [&] { return gui.findShortname.shown; }},
        {"element window",
         [&] {
             OpenElementWindow(gui, "/P/S05");
             return "/P/S05##" + gui.elementWindows.entries.back().windowId;
         },
         [&] { return !gui.elementWindows.entries.empty(); }},
        {"refs-to window",
         [&] {
             OpenRefsWindow(gui, "/P/S05");
             return "Refs to /P/S05##" + gui.refsWindows.entries.back().windowId;
         },
         [&] { return !gui.refsWindows.entries.empty(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = c.open();
        Frame();
        ASSERT_EQ(host.Count(), 1u);
        ASSERT_NE(host.Context(name), nullptr);
        EXPECT_TRUE(DrawnIn(name, host.Context(name)));
        EXPECT_EQ(headless.FindWindow(name.c_str()), nullptr) << "not inside the main window";
        Frame();
        EXPECT_EQ(host.Count(), 1u) << "one window each frame, not a new one";

        host.Close(name);
        Frame();
        EXPECT_FALSE(c.shown()) << "its menu tick or list entry is gone";
        EXPECT_EQ(host.Count(), 0u);
        Frame();
        EXPECT_EQ(host.Count(), 0u) << "and it does not come back";
    }
}

TEST_F(SecondaryWindows, KeysActInTheWindowThatHasThem)
{
    Gui& gui = headless.gui;
    OpenElementWindow(gui, "/P/S05");
    OpenElementWindow(gui, "/P/S06");
    Frame();
    PressIn("/P/S05##0", 256); // Escape
    ASSERT_EQ(gui.elementWindows.entries.size(), 1u) << "Escape closed the window it was pressed in";
    EXPECT_EQ(gui.elementWindows.entries.front().path, "/P/S06");

    PressIn("/P/S06##1", 'F', true);
    EXPECT_TRUE(gui.findText.shown) << "Ctrl+F in an element window opens Find Text";
    EXPECT_EQ(gui.elementWindows.entries.size(), 1u);
    PressIn("Full-Text Search", 256);
    EXPECT_FALSE(gui.findText.shown) << "Escape in Find Text closes it";
    EXPECT_EQ(gui.elementWindows.entries.size(), 1u) << "and nothing else";

    // Ctrl+G opens Find Ref, and later brings it forward from behind the window it was pressed in.
    PressIn("/P/S06##1", 'G', true);
    ASSERT_TRUE(gui.findRef.shown);
    PressIn("/P/S06##1", 'F', true);
    EXPECT_EQ(host.Raised(), "Full-Text Search");
    PressIn("/P/S06##1", 'G', true);
    EXPECT_EQ(host.Raised(), "Find Ref");
}

} // namespace
