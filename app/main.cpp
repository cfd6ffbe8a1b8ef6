// The desktop viewer: start-up, the frame loop around Gui::DrawFrame and shutdown, in this order on
// every platform; the window and renderer come from the platform's Backend.
#include "Version.h"
#include "app/Backend.h"
#include "app/CommandLine.h"
#include "app/FramePacer.h"
#include "app/Shell.h"
#include "concurrency/WakeHook.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "ui/DocumentLabels.h"
#include "ui/Gui.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kTitle = kTessaroNameAndVersion;

// The paths of the command line, from arguments in UTF-8.
StartUpPaths StartUpPathsOf(int argc, char** argv)
{
    std::vector<std::string> arguments = Platform::Utf8Arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments)
        pointers.push_back(argument.c_str());
    return StartUpPathsFromArguments(int(pointers.size()), pointers.data());
}

std::atomic<bool> wokenByWorker{false};

// Lets any thread end the frame loop's wait for events.
void WakeFrameLoop()
{
    wokenByWorker = true;
    Backend::Wake();
}

// Draws frames until the user quits, the window is closed or a stop is requested.
void FrameLoop(Gui& gui)
{
    // Presenting in step with the display paces the loop where the display honours it; elsewhere
    // (Xvfb, some compositors) this cap keeps a busy viewer from spinning a core. Slightly above
    // the refresh rate so that it never costs a vertical blank where the display does pace it.
    using Clock = std::chrono::steady_clock;
    const auto framePeriod = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(0.95 / Backend::RefreshRate()));
    auto nextFrame = Clock::now();
    FramePacer pacer;
    bool quit = false;
    std::string shownTitle = kTitle;
    while (!quit && !Platform::StopRequested()) {
        const bool waited = pacer.MaySleep();
        if (waited) {
            Backend::WaitEvents(pacer.SleepTimeout());
            nextFrame = Clock::now();
        }
        if (!Backend::PumpEvents())
            break;
        if (Backend::TakeInputSeen() || wokenByWorker.exchange(false))
            pacer.SomethingHappened();
        else if (waited && !pacer.DueAfterQuietWait())
            continue;

        Backend::NewFrame();
        ImGui::NewFrame();
        quit = gui.DrawFrame();
        if (const std::string title = WindowTitle(OpenDocumentPath(*gui.state)); title != shownTitle) {
            Backend::SetTitle(title);
            shownTitle = title;
        }
        ImGui::Render();
        Backend::Present();
        pacer.FrameDrawn(gui.IsLive(), gui.IsLiveSlowly());

        nextFrame += framePeriod;
        const auto now = Clock::now();
        if (nextFrame > now)
            std::this_thread::sleep_until(nextFrame);
        else
            nextFrame = now;
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Platform::IgnoreClosedStreams();
    if (TerminalRequest request = TerminalRequestFromArguments(argc, argv);
        request != TerminalRequest::None) {
        const std::string answer = TerminalAnswer(request);
        return std::fwrite(answer.data(), 1, answer.size(), stdout) == answer.size() ? 0 : 1;
    }
    const StartUpPaths paths = StartUpPathsOf(argc, argv);

    Gui gui;
    gui.keys.reload = Backend::ReloadKey();
    gui.keys.nextChange = Backend::NextChangeKey();
    if (int code = InitApplication(gui, paths.open, paths.compare))
        return code;
    // Caught before the window shows: a request to stop that arrives from then on ends the
    // program the normal way, with the settings written.
    Platform::CatchStopRequests();

    // Without a window or renderer the process ends here, and settings are not written. A file
    // named on the command line is already loading: it is dropped, not waited for.
    std::string error;
    if (!Backend::Open(kTitle, error)) {
        Platform::ShowFailure(error);
        std::_Exit(1);
    }
    const float scale = Backend::Scale();
    // Where the window was last time, when a monitor still shows it.
    // A copy started beside others (New Window, say) opens a step further down and right.
    const int running = Platform::CountProcessesNamed(Platform::GetExecutableName());
    const std::optional<WindowGeometry> saved =
        gui.settings.window
            ? SavedGeometryOnMonitors(*gui.settings.window, Backend::MonitorWorkAreas(), running - 1)
            : std::nullopt;
    if (saved)
        Backend::Place(*saved);
    Backend::OnDrop([&gui](int count, const char* const* paths) { OpenDroppedFiles(gui, count, paths); });
    Backend::Show();
    if (saved && gui.settings.window->maximized)
        Backend::Maximize();

    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    const std::string configDirectory = GetConfigDirectory();
    const std::string iniPath = configDirectory.empty() ? std::string() : configDirectory + "/imgui.ini";
    io.IniFilename = iniPath.empty() ? nullptr : iniPath.c_str();
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    io.ConfigInputTextCursorBlink = false; // a blinking cursor would redraw the window all the time

    ApplyTheme(ImGui::GetStyle(), InstanceColor(running), scale);

    if (!Backend::StartGui(error)) {
        ImGui::DestroyContext();
        Backend::Close();
        Platform::ShowFailure("cannot start the renderer: " + error);
        std::_Exit(1);
    }
    if (!AddFonts(*io.Fonts, scale))
        std::fprintf(stderr, "tessaro: the embedded fonts could not be loaded; using the built-in font\n");
    gui.windowHost = Backend::SecondaryWindows(gui.settings.windowPlaces);

    SetWakeHook(WakeFrameLoop);
    const auto rememberPlace = [](Settings& settings) {
        const Backend::WindowNow now = Backend::CurrentPlace();
        RememberWindowPlace(settings, now.place, now.minimized, now.maximized);
    };
    const std::string failure = RunFrameLoop(
        gui, [&gui] { FrameLoop(gui); }, rememberPlace);
    SetWakeHook(nullptr); // workers may outlive the window

    rememberPlace(gui.settings);
    Backend::StopGui();
    gui.windowHost = nullptr;
    ImGui::DestroyContext();
    Backend::Close();
    SaveSettings(gui.settings);
    if (!failure.empty()) {
        Platform::ShowFailure("the interface failed and has to close (" + failure +
                              "); the settings are saved");
        return 1;
    }
    return 0;
}
