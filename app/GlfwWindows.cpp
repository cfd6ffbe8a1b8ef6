// Secondary windows as windows of the desktop: one GLFW window and GUI library context each,
// sharing the main window's font atlas and (through a shared OpenGL context) its font texture.
#include "app/GlfwWindows.h"

#include "app/Backend.h"
#include "app/HostedWindows.h"
#include "app/Shell.h"

#include <GLFW/glfw3.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>

// GLFW's X11 access, declared here: its own header wants the RandR headers as well.
extern "C" Display* glfwGetX11Display(void);
extern "C" Window glfwGetX11Window(GLFWwindow* window);

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

namespace GlfwWindows {

namespace {

bool inputSeen = false; // set by the windows' callbacks, on the GUI thread

// Notes the event, then hands it to the GLFW back end of the window's context.
template <auto Forward, typename... Args> void Routed(GLFWwindow* window, Args... args)
{
    inputSeen = true;
    auto* context = static_cast<ImGuiContext*>(glfwGetWindowUserPointer(window));
    if (!context)
        return;
    ImGuiContext* current = ImGui::GetCurrentContext();
    ImGui::SetCurrentContext(context);
    Forward(window, args...);
    ImGui::SetCurrentContext(current);
}

template <typename... Args> void Noted(GLFWwindow*, Args...)
{
    inputSeen = true;
}

void OnRefresh(GLFWwindow* window);

struct Secondary
{
    GLFWwindow* window = nullptr;
    ImGuiContext* context = nullptr;
    std::string name;
    std::string placeKey;
    ImVec2 fixedSize;
    float scale = 1;
    bool drawn = false;   // asked for in the frame being drawn
    size_t shown = 0;     // PictureHash of what the window shows
    bool exposed = false; // the window system asks for the picture again
};

class Host final : public WindowHost
{
public:
    Host(GLFWwindow* main, float mainScale, std::map<std::string, WindowPlace>& places)
        : main(main), mainScale(mainScale), places(places), mainStyle(ImGui::GetStyle()),
          mainContext(ImGui::GetCurrentContext())
    {}

    bool Begin(const Request& request) override
    {
        Secondary* shown = windows.Find(request.name);
        if (!shown)
            shown = Open(request);
        if (!shown)
            return false;
        shown->drawn = true;
        current = shown;
        if (!request.resizable &&
            (request.size.x != shown->fixedSize.x || request.size.y != shown->fixedSize.y)) {
            shown->fixedSize = request.size;
            glfwSetWindowSize(shown->window, int(request.size.x), int(request.size.y));
        }
        if (request.focus)
            glfwFocusWindow(shown->window);

        // The atlas names one texture; this window's renderer made its own copy when it started.
        ImFontAtlas* atlas = ImGui::GetIO().Fonts;
        const ImTextureID shared = atlas->TexID;
        glfwMakeContextCurrent(shown->window);
        ImGui::SetCurrentContext(shown->context);
        Rescale(*shown);
        ImGui_ImplOpenGL3_NewFrame();
        ImGui_ImplGlfw_NewFrame();
        atlas->SetTexID(shared);
        ImGui::NewFrame();
        return !glfwWindowShouldClose(shown->window);
    }

    // A window whose picture did not change keeps showing it: most windows are still while the
    // user works in one, and drawing each of them again would cost a frame as much as all of them.
    void End() override
    {
        if (!current)
            return; // the window could not be opened: the interface drew into the main window once
        ImGui::Render();
        int width, height;
        glfwGetFramebufferSize(current->window, &width, &height);
        const size_t picture = PictureHash(*ImGui::GetDrawData(), width, height);
        if (picture != current->shown || current->exposed) {
            glViewport(0, 0, width, height);
            glClearColor(0, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
            glfwSwapBuffers(current->window);
            current->shown = picture;
            current->exposed = false;
        }
        ImGui::SetCurrentContext(mainContext);
        glfwMakeContextCurrent(main);
        current = nullptr;
    }

    void AfterFrame()
    {
        windows.Sweep([](Secondary& window) { return glfwWindowShouldClose(window.window); },
                      [this](Secondary& window) { Close(window); });
    }

    void Exposed(GLFWwindow* window)
    {
        for (auto& shown : windows) {
            if (shown->window == window)
                shown->exposed = true;
        }
    }

    void CloseAll()
    {
        windows.CloseAll([this](Secondary& window) { Close(window); });
    }

private:
    // Where the last window of this kind was left, else beside the middle of the main window.
    WindowGeometry PlaceFor(const Request& request)
    {
        WindowGeometry fresh;
        int mainX = 0, mainY = 0;
        glfwGetWindowPos(main, &mainX, &mainY);
        fresh.x = mainX + int(request.offset.x);
        fresh.y = mainY + int(request.offset.y);
        fresh.width = int(request.size.x);
        fresh.height = int(request.size.y);
        return OpeningPlace(fresh, places, request.placeKey, request.resizable,
                            windows.CountOfKind(request.placeKey), Backend::MonitorWorkAreas());
    }

    Secondary* Open(const Request& request)
    {
        const WindowGeometry geometry = PlaceFor(request);
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        glfwWindowHint(GLFW_RESIZABLE, request.resizable ? GLFW_TRUE : GLFW_FALSE);
        GLFWwindow* window =
            glfwCreateWindow(geometry.width, geometry.height, request.title.c_str(), nullptr, main);
        glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
        if (!window) {
            std::fprintf(stderr, "tessaro: cannot open the window %s\n", request.title.c_str());
            return nullptr;
        }
        glfwSetWindowPos(window, geometry.x, geometry.y);
        if (request.resizable && (request.minSize.x > 0 || request.minSize.y > 0))
            glfwSetWindowSizeLimits(window, int(request.minSize.x), int(request.minSize.y), GLFW_DONT_CARE,
                                    GLFW_DONT_CARE);
        // Owned by the main window: the desktop keeps it above that one, minimizes it with it and
        // leaves it out of the task bar.
        if (Display* display = glfwGetX11Display())
            XSetTransientForHint(display, glfwGetX11Window(window), glfwGetX11Window(main));

        auto shown = std::make_unique<Secondary>();
        shown->window = window;
        shown->name = request.name;
        shown->placeKey = request.placeKey;
        shown->fixedSize = request.size;
        shown->scale = 0; // styled on its first frame
        shown->context = CreateSecondaryContext();
        glfwMakeContextCurrent(window);
        glfwSwapInterval(0); // the main window's swap paces the frame; one wait is enough
        const bool started = ImGui_ImplGlfw_InitForOpenGL(window, false);
        if (!started || !ImGui_ImplOpenGL3_Init("#version 130")) {
            if (started)
                ImGui_ImplGlfw_Shutdown();
            ImGui::DestroyContext(shown->context);
            ImGui::SetCurrentContext(mainContext);
            glfwMakeContextCurrent(main);
            glfwDestroyWindow(window);
            std::fprintf(stderr, "tessaro: cannot draw in the window %s\n", request.title.c_str());
            return nullptr;
        }
        glfwSetWindowUserPointer(window, shown->context);
        RouteInput(window);
        glfwSetWindowRefreshCallback(window, OnRefresh);
        // Files dropped on any window of the viewer open as if dropped on the main one (GLFW tells a
        // callback only by setting another).
        const GLFWdropfun drop = glfwSetDropCallback(main, nullptr);
        glfwSetDropCallback(main, drop);
        glfwSetDropCallback(window, drop);
        ImGui::SetCurrentContext(mainContext);
        glfwMakeContextCurrent(main);
        glfwShowWindow(window);
        // A new window takes the keyboard, as a dialog does; the request also starts its text input.
        glfwFocusWindow(window);
        return &windows.Add(std::move(shown));
    }

    // The main window's style and fonts, sized for the monitor the window is on now.
    void Rescale(Secondary& window)
    {
        float scale = mainScale, yScale;
        glfwGetWindowContentScale(window.window, &scale, &yScale);
        if (!(scale > 0))
            scale = mainScale;
        if (scale == window.scale)
            return;
        window.scale = scale;
        StyleForScale(mainStyle, mainScale, scale);
    }

    void Close(Secondary& window)
    {
        if (!glfwGetWindowAttrib(window.window, GLFW_ICONIFIED)) {
            WindowPlace place;
            glfwGetWindowPos(window.window, &place.x, &place.y);
            glfwGetWindowSize(window.window, &place.width, &place.height);
            if (place.width > 0 && place.height > 0)
                places[window.placeKey] = place;
        }
        glfwSetWindowUserPointer(window.window, nullptr);
        ImFontAtlas* atlas = ImGui::GetIO().Fonts;
        const ImTextureID shared = atlas->TexID;
        glfwMakeContextCurrent(window.window);
        ImGui::SetCurrentContext(window.context);
        ImGui_ImplOpenGL3_Shutdown(); // frees this window's copy of the font texture
        ImGui_ImplGlfw_Shutdown();
        ImGui::DestroyContext(window.context);
        ImGui::SetCurrentContext(mainContext);
        atlas->SetTexID(shared);
        glfwMakeContextCurrent(main);
        glfwDestroyWindow(window.window);
    }

    GLFWwindow* main;
    float mainScale;
    std::map<std::string, WindowPlace>& places;
    ImGuiStyle mainStyle;
    ImGuiContext* mainContext;
    OpenWindows<Secondary> windows;
    Secondary* current = nullptr;
};

std::unique_ptr<Host> host;

void OnRefresh(GLFWwindow* window)
{
    inputSeen = true;
    if (host)
        host->Exposed(window);
}

} // namespace

void RouteInput(GLFWwindow* window)
{
    glfwSetKeyCallback(window, Routed<ImGui_ImplGlfw_KeyCallback, int, int, int, int>);
    glfwSetCharCallback(window, Routed<ImGui_ImplGlfw_CharCallback, unsigned>);
    glfwSetMouseButtonCallback(window, Routed<ImGui_ImplGlfw_MouseButtonCallback, int, int, int>);
    glfwSetScrollCallback(window, Routed<ImGui_ImplGlfw_ScrollCallback, double, double>);
    glfwSetCursorEnterCallback(window, Routed<ImGui_ImplGlfw_CursorEnterCallback, int>);
    glfwSetWindowFocusCallback(window, Routed<ImGui_ImplGlfw_WindowFocusCallback, int>);
    glfwSetCursorPosCallback(window, Noted<double, double>);
    glfwSetFramebufferSizeCallback(window, Noted<int, int>);
    glfwSetWindowRefreshCallback(window, Noted<>);
    glfwSetWindowCloseCallback(window, Noted<>);
}

bool TakeInputSeen()
{
    return std::exchange(inputSeen, false);
}

void NoteInput()
{
    inputSeen = true;
}

WindowHost* StartSecondaryWindows(GLFWwindow* main, float mainScale,
                                  std::map<std::string, WindowPlace>& places)
{
    host = std::make_unique<Host>(main, mainScale, places);
    return host.get();
}

void AfterFrame()
{
    if (host)
        host->AfterFrame();
}

void CloseSecondaryWindows()
{
    if (host)
        host->CloseAll();
    host.reset();
}

} // namespace GlfwWindows
