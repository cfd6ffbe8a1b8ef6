#pragma once

#include "app/Shell.h"
#include "ui/WindowHost.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// The main window and its renderer, with the GUI library's back ends for both: one source per
// platform, chosen at build time (GLFW + OpenGL 3 on Linux, Win32 + Direct3D 11 on Windows). The
// frame loop, theme, fonts and start-up and shutdown order belong to the shared shell.
namespace Backend {

// Files dropped on the window, as UTF-8 paths in the order the window system lists them.
using DropHandler = std::function<void(int count, const char* const* paths)>;

// Creates the window, still hidden, placed and sized by ComputeWindowGeometry on the work area of
// the monitor under the pointer, and its renderer. False with `error` set when either cannot be
// had; whatever was created is released again.
bool Open(const char* title, std::string& error);

// Content scale of the window's monitor (1 at 96 dpi) and its refresh rate in hertz.
float Scale();
int RefreshRate();

// Every monitor's work area, in the units Place takes.
std::vector<WorkArea> MonitorWorkAreas();

// Moves and sizes the hidden window (between Open and Show).
void Place(const WindowGeometry& geometry);

void OnDrop(DropHandler handler);
void Show();

// Maximizes the shown window.
void Maximize();

// Where the window is now, to be opened there again next time.
struct WindowNow
{
    WindowPlace place; // its position and size when neither minimized nor maximized
    bool minimized = false;
    bool maximized = false;
};
WindowNow CurrentPlace();

void SetTitle(const std::string& title);

// The number under which the GUI library's back end reports the F5 key.
int ReloadKey();
// F8, which steps to the next change of a comparison.
int NextChangeKey();

// The GUI library's platform and renderer back ends, on the current GUI context.
bool StartGui(std::string& error);
void StopGui();

// Gives every secondary window a window of the desktop of its own, owned by the main one, and
// remembers their places in `places` by kind; null where they are drawn inside the main window.
// Call after StartGui; StopGui closes them.
WindowHost* SecondaryWindows(std::map<std::string, WindowPlace>& places);

// Handles the window messages that are waiting; false once the window was asked to close.
bool PumpEvents();

// Sleeps until a window message arrives, Wake is called or `timeoutSeconds` pass.
void WaitEvents(double timeoutSeconds);

// Whether any input, resize, focus change or drop arrived since the last call.
bool TakeInputSeen();

// Ends a WaitEvents early; callable from any thread.
void Wake();

// Starts a GUI frame in both back ends (before ImGui::NewFrame).
void NewFrame();

// Clears the back buffer to black, draws the GUI library's draw data and presents; then closes
// the secondary windows the frame did not draw.
void Present();

// Releases the renderer and destroys the window (after StopGui).
void Close();

} // namespace Backend
