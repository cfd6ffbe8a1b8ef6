#pragma once

#include "settings/Settings.h"

#include <imgui.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class Gui;

// The path to open at start: the arguments joined with single blanks, as one command line.
std::string CommandLineFromArguments(int argc, const char* const* argv);

// A command line is one path, never split at blanks; surrounding double quotes are dropped.
std::string PathFromCommandLine(const std::string& commandLine);

// The start-up command line split at a lone "--compare": the document to open before it, the
// version to compare it with after it (empty without one). Each part is one path as above.
struct StartUpPaths
{
    std::string open;
    std::string compare;
};
StartUpPaths StartUpPathsFromArguments(int argc, const char* const* argv);

// Loads the settings and requests the start-up file, if any, and the version to compare it with,
// before any window exists. 0 on success.
int InitApplication(Gui& gui, const std::string& path, const std::string& comparePath = {});

// Runs the frame loop `frames` and returns the message of an exception that escaped it, empty when
// none did. A frame cut short leaves the interface half drawn, so the program cannot go on: the
// settings are written at once, after `rememberPlace` has put the window's place in them, before
// a teardown that may fail in turn; and the main window's GUI context is current again.
std::string RunFrameLoop(Gui& gui, const std::function<void()>& frames,
                         const std::function<void(Settings&)>& rememberPlace);

// Files dropped on the window: the last one is opened like a file chosen in the dialog.
void OpenDroppedFiles(Gui& gui, int count, const char* const* paths);

struct WindowGeometry
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The main window's place in a monitor's work area, whose size in pixels is the area's size times
// `areaScale`: three quarters of the scaled height wide, nine tenths of it high, centred. Both
// platforms read the work area in pixels already (Windows as a DPI-aware process) and pass 1.
WindowGeometry ComputeWindowGeometry(int areaLeft, int areaTop, int areaWidth, int areaHeight,
                                     float areaScale);

// The same through GLFW, whose work area is in pixels already: the content scale sizes fonts and
// widgets only, never the window again.
WindowGeometry GlfwWindowGeometry(int areaLeft, int areaTop, int areaWidth, int areaHeight,
                                  float contentScale);

// A monitor's work area in the window system's pixels.
struct WorkArea
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The place the main window had when the program last ended, if a monitor still shows enough of
// its top edge to take hold of the window (at least 64 pixels of it, or its whole width when
// narrower), its size limited to that monitor's work area and moved as little as it takes to lie
// wholly inside it; nothing when no monitor does, as after the monitor it was on was unplugged.
// Each other copy of the program already running (`othersRunning`) moves the place down and right
// by kCascadeStep pixels first, so that a new window does not open exactly on top of the last.
inline constexpr int kCascadeStep = 32;
std::optional<WindowGeometry>
SavedGeometryOnMonitors(const WindowPlace& saved, const std::vector<WorkArea>& areas, int othersRunning = 0);

// The window's place for the next run, from where it is now. A minimized window keeps the place
// it had before; a maximized one keeps it too (or, on a first run, takes the one it has) and is
// maximized again.
void RememberWindowPlace(Settings& settings, const WindowPlace& now, bool minimized, bool maximized);

// Title and menu bar colour of this copy of the program, from the number of running processes with
// this executable's name (itself included), so that side-by-side copies are told apart.
ImVec4 InstanceColor(int runningProcesses);

// The dark preset with the program's colours and sizes, then every size scaled by `scale`.
void ApplyTheme(ImGuiStyle& style, const ImVec4& instanceColor, float scale);

// Adds the embedded text font with the icon font merged into it, at sizes for `scale`; uses the
// FreeType builder. False when a font could not be added.
bool AddFonts(ImFontAtlas& atlas, float scale);
