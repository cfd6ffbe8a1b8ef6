// The window and renderer on Linux: GLFW with an OpenGL 3 context.
#include "app/Backend.h"

#include "app/GlfwWindows.h"
#include "app/Icon.h"
#include "app/Shell.h"

#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>

#include <utility>
#include <vector>

namespace Backend {

namespace {

GLFWwindow* window = nullptr;
float scale = 1.0f;
int refreshRate = 60;
DropHandler dropHandler;
std::string lastGlfwError = "unknown error";

void OnGlfwError(int, const char* description)
{
    lastGlfwError = description ? description : "unknown error";
}

void OnGlfwDrop(GLFWwindow*, int count, const char** paths)
{
    GlfwWindows::NoteInput();
    if (dropHandler)
        dropHandler(count, paths);
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

void SetIcon()
{
    std::vector<unsigned char> small = MakeIconPixels(16), large = MakeIconPixels(32),
                               huge = MakeIconPixels(64);
    GLFWimage images[] = {{16, 16, small.data()}, {32, 32, large.data()}, {64, 64, huge.data()}};
    glfwSetWindowIcon(window, 3, images);
}

bool Fail(const char* what, std::string& error)
{
    error = std::string(what) + ": " + lastGlfwError;
    if (window)
        glfwDestroyWindow(window);
    window = nullptr;
    glfwTerminate();
    return false;
}

} // namespace

bool Open(const char* title, std::string& error)
{
    glfwSetErrorCallback(OnGlfwError);
    if (!glfwInit())
        return Fail("cannot connect to a display", error);

    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 0);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    // The class the desktop entry's StartupWMClass names; GLFW would otherwise take the title.
    glfwWindowHintString(GLFW_X11_CLASS_NAME, "Tessaro");
    glfwWindowHintString(GLFW_X11_INSTANCE_NAME, "tessaro");
    window = glfwCreateWindow(640, 480, title, nullptr, nullptr);
    if (!window)
        return Fail("cannot create a window with an OpenGL 3 context", error);

    if (GLFWmonitor* monitor = MonitorUnderPointer(window)) {
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
    glfwSetDropCallback(window, OnGlfwDrop);
    GlfwWindows::RouteInput(window);
    SetIcon();
    glfwMakeContextCurrent(window);
    glfwSwapInterval(1);
    return true;
}

float Scale()
{
    return scale;
}

int RefreshRate()
{
    return refreshRate;
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

void Place(const WindowGeometry& geometry)
{
    glfwSetWindowSize(window, geometry.width, geometry.height);
    glfwSetWindowPos(window, geometry.x, geometry.y);
}

void OnDrop(DropHandler handler)
{
    dropHandler = std::move(handler);
}

void Show()
{
    glfwShowWindow(window);
}

void Maximize()
{
    glfwMaximizeWindow(window);
}

WindowNow CurrentPlace()
{
    WindowNow now;
    now.minimized = glfwGetWindowAttrib(window, GLFW_ICONIFIED);
    now.maximized = glfwGetWindowAttrib(window, GLFW_MAXIMIZED);
    glfwGetWindowPos(window, &now.place.x, &now.place.y);
    glfwGetWindowSize(window, &now.place.width, &now.place.height);
    return now;
}

void SetTitle(const std::string& title)
{
    glfwSetWindowTitle(window, title.c_str());
}

int ReloadKey()
{
    return GLFW_KEY_F5;
}

int NextChangeKey()
{
    return GLFW_KEY_F8;
}

bool StartGui(std::string& error)
{
    // The window's own callbacks hand input to the back end, each window to its own context.
    if (!ImGui_ImplGlfw_InitForOpenGL(window, false)) {
        error = "the GLFW back end could not be set up";
        return false;
    }
    if (!ImGui_ImplOpenGL3_Init("#version 130")) {
        ImGui_ImplGlfw_Shutdown();
        error = "the OpenGL 3 renderer could not be set up";
        return false;
    }
    glfwSetWindowUserPointer(window, ImGui::GetCurrentContext());
    return true;
}

WindowHost* SecondaryWindows(std::map<std::string, WindowPlace>& places)
{
    return GlfwWindows::StartSecondaryWindows(window, scale, places);
}

void StopGui()
{
    GlfwWindows::CloseSecondaryWindows();
    glfwSetWindowUserPointer(window, nullptr);
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplGlfw_Shutdown();
}

bool PumpEvents()
{
    glfwPollEvents();
    return !glfwWindowShouldClose(window);
}

void WaitEvents(double timeoutSeconds)
{
    glfwWaitEventsTimeout(timeoutSeconds);
}

bool TakeInputSeen()
{
    return GlfwWindows::TakeInputSeen();
}

void Wake()
{
    glfwPostEmptyEvent();
}

void NewFrame()
{
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
}

void Present()
{
    int width, height;
    glfwGetFramebufferSize(window, &width, &height);
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    glfwSwapBuffers(window);
    GlfwWindows::AfterFrame();
}

void Close()
{
    glfwDestroyWindow(window);
    window = nullptr;
    glfwTerminate();
}

} // namespace Backend
