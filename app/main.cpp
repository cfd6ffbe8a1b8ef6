// The desktop viewer: window, renderer, GUI library and the frame loop around Gui::DrawFrame.
#include "app/CommandLine.h"
#include "app/FramePacer.h"
#include "app/Icon.h"
#include "app/Shell.h"
#include "concurrency/WakeHook.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "ui/DocumentLabels.h"
#include "ui/Gui.h"

#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kTitle = "Tessaro 2.7";

volatile std::sig_atomic_t stopRequested = 0;
std::string lastGlfwError = "unknown error";
bool eventSeen = false; // set by the window's callbacks, on this thread
std::atomic<bool> wokenByWorker{false};

void OnStopSignal(int)
{
    stopRequested = 1;
}

// The window layer's part of drawing on demand: block until an event arrives or the timeout
// passes, and let any thread end that wait.
void WaitForEvents(double timeoutSeconds)
{
    glfwWaitEventsTimeout(timeoutSeconds);
}

void WakeFrameLoop()
{
    wokenByWorker = true;
    glfwPostEmptyEvent();
}

// Every kind of input marks the frame loop busy. Installed before the GUI backend, which chains
// the callbacks it shares with them.
void NoteEvent(GLFWwindow*)
{
    eventSeen = true;
}
void OnKey(GLFWwindow* w, int, int, int, int)
{
    NoteEvent(w);
}
void OnChar(GLFWwindow* w, unsigned)
{
    NoteEvent(w);
}
void OnMouseButton(GLFWwindow* w, int, int, int)
{
    NoteEvent(w);
}
void OnScroll(GLFWwindow* w, double, double)
{
    NoteEvent(w);
}
void OnCursorPos(GLFWwindow* w, double, double)
{
    NoteEvent(w);
}
void OnCursorEnter(GLFWwindow* w, int)
{
    NoteEvent(w);
}
void OnFocus(GLFWwindow* w, int)
{
    NoteEvent(w);
}
void OnSize(GLFWwindow* w, int, int)
{
    NoteEvent(w);
}

void WatchInput(GLFWwindow* window)
{
    glfwSetKeyCallback(window, OnKey);
    glfwSetCharCallback(window, OnChar);
    glfwSetMouseButtonCallback(window, OnMouseButton);
    glfwSetScrollCallback(window, OnScroll);
    glfwSetCursorPosCallback(window, OnCursorPos);
    glfwSetCursorEnterCallback(window, OnCursorEnter);
    glfwSetWindowFocusCallback(window, OnFocus);
    glfwSetFramebufferSizeCallback(window, OnSize);
}

void OnGlfwError(int, const char* description)
{
    lastGlfwError = description ? description : "unknown error";
}

void OnDrop(GLFWwindow* window, int count, const char** paths)
{
    eventSeen = true;
    OpenDroppedFiles(*static_cast<Gui*>(glfwGetWindowUserPointer(window)), count, paths);
}

// The monitor under the pointer where the window system tells global positions (the hidden window's
// origin plus the pointer within it), else the primary monitor.
GLFWmonitor* MonitorUnderPointer(GLFWwindow* probe)
{
    int count = 0;
    GLFWmonitor** monitors = glfwGetMonitors(&count);
    double px = 0, py = 0;
    int wx = 0, wy = 0;
    glfwGetCursorPos(probe, &px, &py);
    glfwGetWindowPos(probe, &wx, &wy);
    const double x = wx + px, y = wy + py;
    for (int i = 0; i < count; ++i) {
        int mx, my;
        glfwGetMonitorPos(monitors[i], &mx, &my);
        const GLFWvidmode* mode = glfwGetVideoMode(monitors[i]);
        if (mode && x >= mx && x < mx + mode->width && y >= my && y < my + mode->height)
            return monitors[i];
    }
    return glfwGetPrimaryMonitor();
}

void SetIcon(GLFWwindow* window)
{
    std::vector<unsigned char> small = MakeIconPixels(16), large = MakeIconPixels(32),
                               huge = MakeIconPixels(64);
    GLFWimage images[] = {{16, 16, small.data()}, {32, 32, large.data()}, {64, 64, huge.data()}};
    glfwSetWindowIcon(window, 3, images);
}

std::vector<WorkArea> MonitorWorkAreas()
{
    int count = 0;
    GLFWmonitor** monitors = glfwGetMonitors(&count);
    std::vector<WorkArea> areas;
    for (int i = 0; i < count; ++i) {
        WorkArea area;
        glfwGetMonitorWorkarea(monitors[i], &area.x, &area.y, &area.width, &area.height);
        areas.push_back(area);
    }
    return areas;
}

// The window's place for the next run. A minimized window keeps the place it had before; a
// maximized one keeps it too and is maximized again.
void RememberWindowPlace(GLFWwindow* window, Settings& settings)
{
    if (glfwGetWindowAttrib(window, GLFW_ICONIFIED))
        return;
    if (glfwGetWindowAttrib(window, GLFW_MAXIMIZED)) {
        if (settings.window)
            settings.window->maximized = true;
        return;
    }
    WindowPlace place;
    glfwGetWindowPos(window, &place.x, &place.y);
    glfwGetWindowSize(window, &place.width, &place.height);
    if (place.width > 0 && place.height > 0)
        settings.window = place;
}

// Ends the process when no window or renderer can be had; settings are not written.
int Fail(const char* what)
{
    std::fprintf(stderr, "tessaro: %s: %s\n", what, lastGlfwError.c_str());
    glfwTerminate();
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // A closed standard stream (the launching terminal or pipe gone) must not end the viewer.
    std::signal(SIGPIPE, SIG_IGN);
    if (TerminalRequest request = TerminalRequestFromArguments(argc, argv);
        request != TerminalRequest::None) {
        const std::string answer = TerminalAnswer(request);
        return std::fwrite(answer.data(), 1, answer.size(), stdout) == answer.size() ? 0 : 1;
    }
    const std::string path = PathFromCommandLine(CommandLineFromArguments(argc, argv));

    Gui gui;
    gui.keys.reload = GLFW_KEY_F5;
    if (int code = InitApplication(gui, path))
        return code;

    glfwSetErrorCallback(OnGlfwError);
    if (!glfwInit())
        return Fail("cannot connect to a display");

    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 0);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    // The class the desktop entry's StartupWMClass names; GLFW would otherwise take the title.
    glfwWindowHintString(GLFW_X11_CLASS_NAME, "Tessaro");
    glfwWindowHintString(GLFW_X11_INSTANCE_NAME, "tessaro");
    GLFWwindow* window = glfwCreateWindow(640, 480, kTitle, nullptr, nullptr);
    if (!window)
        return Fail("cannot create a window with an OpenGL 3 context");

    GLFWmonitor* monitor = MonitorUnderPointer(window);
    float scale = 1.0f;
    int refreshRate = 60;
    if (monitor) {
        int left, top, width, height;
        float yScale;
        glfwGetMonitorWorkarea(monitor, &left, &top, &width, &height);
        glfwGetMonitorContentScale(monitor, &scale, &yScale);
        if (!(scale > 0))
            scale = 1.0f;
        if (const GLFWvidmode* mode = glfwGetVideoMode(monitor); mode && mode->refreshRate > 0)
            refreshRate = mode->refreshRate;
        if (width > 0 && height > 0) {
            WindowGeometry geometry = GlfwWindowGeometry(left, top, width, height, scale);
            glfwSetWindowSize(window, geometry.width, geometry.height);
            glfwSetWindowPos(window, geometry.x, geometry.y);
        }
    }
    // Where the window was last time, when a monitor still shows it.
    const std::optional<WindowGeometry> saved =
        gui.settings.window ? SavedGeometryOnMonitors(*gui.settings.window, MonitorWorkAreas())
                            : std::nullopt;
    if (saved) {
        glfwSetWindowSize(window, saved->width, saved->height);
        glfwSetWindowPos(window, saved->x, saved->y);
    }
    glfwSetWindowUserPointer(window, &gui);
    glfwSetDropCallback(window, OnDrop);
    WatchInput(window);
    SetIcon(window);
    glfwMakeContextCurrent(window);
    glfwSwapInterval(1);
    glfwShowWindow(window);
    if (saved && gui.settings.window->maximized)
        glfwMaximizeWindow(window);

    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    const std::string configDirectory = GetConfigDirectory();
    const std::string iniPath = configDirectory.empty() ? std::string() : configDirectory + "/imgui.ini";
    io.IniFilename = iniPath.empty() ? nullptr : iniPath.c_str();
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;

    const int running = Platform::CountProcessesNamed(Platform::GetExecutableName());
    ApplyTheme(ImGui::GetStyle(), InstanceColor(running), scale);

    const bool platformReady = ImGui_ImplGlfw_InitForOpenGL(window, true);
    if (!platformReady || !ImGui_ImplOpenGL3_Init("#version 130")) {
        lastGlfwError = "the OpenGL 3 renderer could not be set up";
        if (platformReady)
            ImGui_ImplGlfw_Shutdown();
        ImGui::DestroyContext();
        glfwDestroyWindow(window);
        return Fail("cannot start the renderer");
    }
    if (!AddFonts(*io.Fonts, scale))
        std::fprintf(stderr, "tessaro: the embedded fonts could not be loaded; using the built-in font\n");

    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr); // the launching terminal closed

    // Swap interval 1 paces the loop where the display honours it; elsewhere (Xvfb, some
    // compositors) this cap keeps a busy viewer from spinning a core. Slightly above the refresh
    // rate so that it never costs a vertical blank where vsync does work.
    using Clock = std::chrono::steady_clock;
    const auto framePeriod =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(0.95 / refreshRate));
    auto nextFrame = Clock::now();
    SetWakeHook(WakeFrameLoop);
    FramePacer pacer;
    bool quit = false;
    std::string shownTitle = kTitle;
    while (!quit && !stopRequested && !glfwWindowShouldClose(window)) {
        eventSeen = false;
        if (pacer.MaySleep()) {
            WaitForEvents(FramePacer::kSleepTimeoutSeconds);
            nextFrame = Clock::now();
        } else {
            glfwPollEvents();
        }
        if (eventSeen || wokenByWorker.exchange(false))
            pacer.SomethingHappened();

        ImGui_ImplOpenGL3_NewFrame();
        ImGui_ImplGlfw_NewFrame();
        ImGui::NewFrame();
        quit = gui.DrawFrame();
        if (const std::string title = WindowTitle(OpenDocumentPath(*gui.state)); title != shownTitle) {
            glfwSetWindowTitle(window, title.c_str());
            shownTitle = title;
        }
        ImGui::Render();
        int width, height;
        glfwGetFramebufferSize(window, &width, &height);
        glViewport(0, 0, width, height);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        glfwSwapBuffers(window);
        pacer.FrameDrawn(gui.IsLive());

        nextFrame += framePeriod;
        const auto now = Clock::now();
        if (nextFrame > now)
            std::this_thread::sleep_until(nextFrame);
        else
            nextFrame = now;
    }
    SetWakeHook(nullptr); // workers may outlive the window

    RememberWindowPlace(window, gui.settings);
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
    glfwDestroyWindow(window);
    glfwTerminate();
    SaveSettings(gui.settings);
    return 0;
}
