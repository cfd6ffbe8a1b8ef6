#include "app/Shell.h"
#include "HeadlessGui.h"
#include "WindowProbe.h"
#include "app/HostedWindows.h"

#include "lifecycle/Comparison.h"
#include "model/Workspace.h"
#include "support/SampleDocuments.h"
#include "support/SampleWorkspace.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>
#include <tuple>

TEST(CommandLine, ArgumentsJoinIntoOnePathAndOnlyEnclosingQuotesAreDropped)
{
    const char* none[] = {"tessaro"};
    EXPECT_EQ(CommandLineFromArguments(1, none), "");
    const char* split[] = {"tessaro", "/home/me/My", "Files/a.arxml"};
    EXPECT_EQ(CommandLineFromArguments(3, split), "/home/me/My Files/a.arxml");

    const std::pair<const char*, const char*> cases[] = {
        {"\"/tmp/a b.arxml\"", "/tmp/a b.arxml"},
        {"/tmp/a b.arxml", "/tmp/a b.arxml"},
        {"", ""},
        {"\"", ""},
        {"\"\"", ""},
        {"\"/tmp/a.arxml", "\"/tmp/a.arxml"},
        {"/tmp/\"a\".arxml", "/tmp/\"a\".arxml"},
    };
    for (auto [line, path] : cases)
        EXPECT_EQ(PathFromCommandLine(line), path) << line;

    // A lone "--compare" splits it in two, each joined the same way; one inside a name does not.
    const char* compare[] = {"tessaro", "/a", "b.arxml", "--compare", "\"/c d.arxml\""};
    const StartUpPaths both = StartUpPathsFromArguments(5, compare);
    EXPECT_EQ(both.open, "/a b.arxml");
    EXPECT_EQ(both.compare, "/c d.arxml");
    const char* inName[] = {"tessaro", "/x--compare.arxml"};
    EXPECT_EQ(StartUpPathsFromArguments(2, inName).open, "/x--compare.arxml");
    EXPECT_EQ(StartUpPathsFromArguments(2, inName).compare, "");
}

TEST(DroppedFiles, OnlyTheLastIsOpenedAndLeadsTheRecentFiles)
{
    HeadlessGui headless;
    headless.gui.AddRecentFile("/older.arxml");
    const char* dropped[] = {"/first.arxml", "/second.arxml", "/last one.zip"};
    OpenDroppedFiles(headless.gui, 3, dropped);
    EXPECT_EQ(headless.gui.recentOpenFiles, (std::list<std::string>{"/last one.zip", "/older.arxml"}));
    headless.Frame();
    EXPECT_EQ(headless.gui.state->GetFilePath(), "/last one.zip");

    OpenDroppedFiles(headless.gui, 0, nullptr);
    EXPECT_EQ(headless.gui.recentOpenFiles.size(), 2u);
}

TEST(DroppedFiles, AFolderReplacesTheOpenFileWithAWorkspaceOfEveryFileBelowIt)
{
    TempDir dir;
    const std::string single = dir.Write("single.xml", kSampleSystem);
    TempDir folder;
    WriteSampleWorkspace(folder);
    HeadlessGui headless;
    ASSERT_TRUE(OpenDocument(headless, single));

    const std::string dropped = folder.Path().string();
    const char* paths[] = {single.c_str(), dropped.c_str()};
    OpenDroppedFiles(headless.gui, 2, paths);
    EXPECT_EQ(headless.gui.recentOpenFiles.front(), dropped);
    ASSERT_TRUE(headless.FramesUntil([&] {
        auto workspace = headless.gui.state->GetWorkspace();
        return headless.gui.state->GetKind() == StateKind::Ready && workspace && workspace->IsFolder();
    })) << "the dropped folder never became ready";
    EXPECT_EQ(headless.gui.state->GetFilePath(), dropped);
    EXPECT_EQ(headless.gui.state->GetWorkspace()->Files().size(), 3u);

    const std::string drawn = FrameText(headless);
    for (const char* name : {"a.arxml", "b.arxml", "c.arxml"})
        EXPECT_NE(drawn.find(name), std::string::npos) << name;
    EXPECT_NE(drawn.find(Squash("3 of 3 files loaded")), std::string::npos);
    // A reference of the first file leads into the third.
    Result<Ref> type = headless.gui.state->FindRef("/Types/UInt8");
    ASSERT_EQ(type.status, ResultStatus::Done);
    EXPECT_EQ(headless.gui.state->GetWorkspace()->FileOf(type.GetValue()->node), 2u);
}

// Settings come from an empty home directory of its own, not the user's, while this lives.
class OwnHome
{
public:
    OwnHome() : oldHome(Saved("HOME")), oldProfile(Saved("USERPROFILE"))
    {
        unsetenv("USERPROFILE");
        setenv("HOME", home.Path().c_str(), 1);
    }
    ~OwnHome()
    {
        Restore("HOME", oldHome);
        Restore("USERPROFILE", oldProfile);
    }

private:
    static std::optional<std::string> Saved(const char* name)
    {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void Restore(const char* name, const std::optional<std::string>& value)
    {
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }

    TempDir home;
    const std::optional<std::string> oldHome, oldProfile;
};

TEST(StartUp, RequestsTheFileBeforeAnyWindowAndSkipsAnEmptyPath)
{
    OwnHome home;
    Gui empty;
    EXPECT_EQ(InitApplication(empty, ""), 0);
    EXPECT_TRUE(empty.recentOpenFiles.empty());
    EXPECT_EQ(empty.state->Update()->GetKind(), StateKind::Initial);
    Gui opened;
    EXPECT_EQ(InitApplication(opened, "/data/a b.arxml"), 0);
    EXPECT_EQ(opened.recentOpenFiles.front(), "/data/a b.arxml");
    EXPECT_EQ(opened.state->GetKind(), StateKind::Loading) << "loading starts before there is a window";
    Gui compared;
    EXPECT_EQ(InitApplication(compared, "/data/a.arxml", "/data/b.arxml"), 0);
    ASSERT_NE(compared.comparison, nullptr) << "the other version loads beside it";
    EXPECT_EQ(compared.comparison->newPath, "/data/b.arxml");
    EXPECT_EQ(compared.comparison->oldPath, "/data/a.arxml");
}

// A state whose step fails, as any part of a frame may.
class FailingState : public State
{
public:
    FailingState() : State("", nullptr) {}
    StateKind GetKind() const override { return StateKind::Initial; }
    std::shared_ptr<State> Update() override { throw std::runtime_error("out of luck"); }
};

TEST(FrameLoop, AFrameThatThrowsEndsTheLoopWithTheSettingsWritten)
{
    OwnHome home;
    HeadlessGui headless;
    headless.gui.AddRecentFile("/data/a.arxml");
    headless.gui.bookmarks.insert("/Body/Can");
    headless.Frame();
    headless.gui.state = std::make_shared<FailingState>();
    const WindowPlace place{10, 20, 300, 400};
    const std::string failure = RunFrameLoop(
        headless.gui,
        [&] {
            while (!headless.Frame()) {
            }
        },
        [&](Settings& settings) { settings.window = place; });
    EXPECT_EQ(failure, "out of luck");
    EXPECT_EQ(ImGui::GetCurrentContext(), headless.context);

    Settings written;
    LoadSettings(written);
    EXPECT_EQ(written.bookmarks, (std::set<std::string>{"/Body/Can"}));
    EXPECT_EQ(written.recentOpenFiles, (std::list<std::string>{"/data/a.arxml"}));
    EXPECT_EQ(written.window, place);
}

TEST(WindowGeometry, ThreeQuartersOfTheHeightWideNineTenthsHighCentred)
{
    WindowGeometry plain = ComputeWindowGeometry(0, 0, 1920, 1080, 1.0f);
    EXPECT_EQ(plain.width, 810);
    EXPECT_EQ(plain.height, 972);
    EXPECT_EQ(plain.x, 555);
    EXPECT_EQ(plain.y, 54);

    // A second monitor with a panel on top, at 125 %: H = 1350, W = 2400, divisions truncate.
    WindowGeometry scaled = ComputeWindowGeometry(1920, 30, 1920, 1080, 1.25f);
    EXPECT_EQ(scaled.height, 1215);
    EXPECT_EQ(scaled.width, 1012);
    EXPECT_EQ(scaled.x, 1920 + (2400 - 1012) / 2);
    EXPECT_EQ(scaled.y, 30 + (1350 - 1215) / 2);
}

// GLFW's work area is in pixels already: at 144 dpi the window must still fit the screen.
TEST(WindowGeometry, GlfwWorkAreaIsNotScaledAgain)
{
    for (float scale : {1.0f, 1.5f, 2.0f}) {
        WindowGeometry g = GlfwWindowGeometry(0, 0, 1920, 1080, scale);
        EXPECT_EQ(g.width, 810) << scale;
        EXPECT_EQ(g.height, 972) << scale;
        EXPECT_EQ(g.x, 555) << scale;
        EXPECT_EQ(g.y, 54) << scale;
    }
}

TEST(InstanceColor, CyclesThroughFourColoursByTheNumberOfOtherCopies)
{
    auto hex = [](int processes) { return ImGui::ColorConvertFloat4ToU32(InstanceColor(processes)); };
    EXPECT_EQ(hex(1), IM_COL32(0x40, 0x48, 0x54, 0xFF));
    EXPECT_EQ(hex(2), IM_COL32(0x16, 0x5A, 0x36, 0xFF));
    EXPECT_EQ(hex(3), IM_COL32(0x96, 0x29, 0x0D, 0xFF));
    EXPECT_EQ(hex(4), IM_COL32(0x5C, 0x25, 0x5C, 0xFF));
    EXPECT_EQ(hex(5), hex(1));
    EXPECT_EQ(hex(0), hex(1)) << "no process snapshot";
}

TEST(Theme, InstanceColourMarksTheBarsAndSizesAreScaled)
{
    HeadlessGui headless;
    ImGuiStyle style;
    const ImU32 instance = ImGui::ColorConvertFloat4ToU32(InstanceColor(2));
    ApplyTheme(style, InstanceColor(2), 2.0f);
    EXPECT_EQ(ImGui::ColorConvertFloat4ToU32(style.Colors[ImGuiCol_MenuBarBg]), instance);
    EXPECT_FLOAT_EQ(style.FramePadding.y, 16);
    EXPECT_FLOAT_EQ(style.ItemSpacing.x, 32);
}

TEST(Fonts, EmbeddedTextFontWithMergedIconsAtScaledSizes)
{
    HeadlessGui headless(HeadlessGui::Fonts::Embedded);
    ImFont* font = ImGui::GetIO().Fonts->Fonts[0];
    EXPECT_EQ(ImGui::GetIO().Fonts->Fonts.Size, 1);
    for (ImWchar glyph : {ImWchar('A'), ImWchar(0xE9), ImWchar(0xF00C), ImWchar(0xF00D)}) // é, check, cross
        EXPECT_NE(font->FindGlyphNoFallback(glyph), nullptr) << glyph;

    ImFontAtlas atlas;
    ASSERT_TRUE(AddFonts(atlas, 1.5f));
    EXPECT_FLOAT_EQ(atlas.Fonts[0]->FontSize, 24);
    EXPECT_EQ(atlas.ConfigData[1].SizePixels, 18);
}

TEST(WindowGeometry, TheSavedPlaceIsUsedWhileAMonitorStillShowsItsTopEdge)
{
    const std::vector<WorkArea> twoMonitors = {{0, 0, 1920, 1050}, {1920, 0, 1280, 1024}};
    const WindowPlace onSecond{2000, 100, 800, 900, false};
    std::optional<WindowGeometry> kept = SavedGeometryOnMonitors(onSecond, twoMonitors);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->x, 2000);
    EXPECT_EQ(kept->y, 100);
    EXPECT_EQ(kept->width, 800);
    EXPECT_EQ(kept->height, 900);

    // The second monitor is gone: the window opens at its first-run place instead.
    EXPECT_FALSE(SavedGeometryOnMonitors(onSecond, {twoMonitors[0]}).has_value());
    // Only a sliver of the top edge left on screen is not enough to take hold of the window.
    EXPECT_FALSE(SavedGeometryOnMonitors(WindowPlace{1900, 100, 800, 600, false}, {twoMonitors[0]}));
    EXPECT_FALSE(SavedGeometryOnMonitors(WindowPlace{100, -300, 800, 600, false}, {twoMonitors[0]}));
    // A place larger than the monitor now is cut to its work area; one that reaches past it (saved
    // on a taller screen, say) is moved into it.
    // With other copies running it first moves a step down and right for each.
    const std::tuple<WindowPlace, int, WindowGeometry> fitted[] = {
        {{0, 0, 2500, 1500, false}, 0, {0, 0, 1920, 1050}},
        {{350, 60, 900, 1080, false}, 0, {350, 0, 900, 1050}},
        {{1500, 500, 800, 600, false}, 0, {1120, 450, 800, 600}},
        {{100, 100, 800, 600, false}, 2, {164, 164, 800, 600}},
        {{1100, 400, 800, 600, false}, 1, {1120, 432, 800, 600}},
    };
    for (const auto& [saved, others, expected] : fitted) {
        std::optional<WindowGeometry> got = SavedGeometryOnMonitors(saved, {twoMonitors[0]}, others);
        ASSERT_TRUE(got.has_value()) << saved.x;
        EXPECT_EQ(std::tie(got->x, got->y, got->width, got->height),
                  std::tie(expected.x, expected.y, expected.width, expected.height))
            << saved.x;
    }
}

TEST(WindowGeometry, ASecondaryWindowOpensWhereTheLastOfItsKindWasLeft)
{
    const std::vector<WorkArea> screen = {{0, 0, 1920, 1050}};
    const std::map<std::string, WindowPlace> places = {{"element", {300, 200, 700, 500, false}},
                                                       {"gone", {5000, 200, 700, 500, false}}};
    const WindowGeometry fresh{50, 60, 400, 300};
    // Kind, resizable, windows of the kind open: where it opens.
    const std::tuple<const char*, bool, int, WindowGeometry> cases[] = {
        {"element", true, 0, {300, 200, 700, 500}},
        {"element", true, 2, {364, 264, 700, 500}},  // staggered past the two still open
        {"element", false, 0, {300, 200, 400, 300}}, // a fixed size stays what it is now
        {"about", true, 0, fresh},                   // never left anywhere
        {"gone", true, 0, fresh},                    // left on a monitor that is gone
    };
    for (const auto& [kind, resizable, open, expected] : cases) {
        const WindowGeometry got = OpeningPlace(fresh, places, kind, resizable, open, screen);
        EXPECT_EQ(std::tie(got.x, got.y, got.width, got.height),
                  std::tie(expected.x, expected.y, expected.width, expected.height))
            << kind << " " << resizable << " " << open;
    }
}

TEST(WindowGeometry, AMaximizedWindowIsRememberedFromTheFirstRunOn)
{
    const WindowPlace now{10, 20, 800, 600, false};
    Settings first; // no place saved yet
    RememberWindowPlace(first, now, false, true);
    ASSERT_TRUE(first.window.has_value());
    EXPECT_EQ(*first.window, (WindowPlace{10, 20, 800, 600, true}));

    Settings later;
    later.window = WindowPlace{1, 2, 300, 400, false};
    RememberWindowPlace(later, now, false, true);
    EXPECT_EQ(*later.window, (WindowPlace{1, 2, 300, 400, true})) << "the place to restore to is kept";
    RememberWindowPlace(later, now, true, false);
    EXPECT_EQ(*later.window, (WindowPlace{1, 2, 300, 400, true})) << "minimized: nothing changes";
}
