#pragma once

#include "settings/Settings.h"
#include "ui/WindowHost.h"

#include <map>
#include <string>

struct GLFWwindow;

// Every window of the viewer under GLFW has a GUI library context of its own, kept in the window's
// user pointer; the library's GLFW back end keeps its data per context, so each window's input is
// handed to it with that context current.
namespace GlfwWindows {

// Installs the input callbacks on `window`. Until the window has a context, input is only noted.
void RouteInput(GLFWwindow* window);

// Whether any input, resize, focus change, redraw request or close arrived since the last call.
bool TakeInputSeen();
void NoteInput();

// The secondary windows, owned by `main` (the desktop keeps them above it and out of the task bar),
// with the current context's style and font atlas at `mainScale`. Their places are remembered in
// `places` by kind.
WindowHost* StartSecondaryWindows(GLFWwindow* main, float mainScale,
                                  std::map<std::string, WindowPlace>& places);

// After each frame: closes the windows the interface did not draw in it, or that the desktop closed.
void AfterFrame();

// Closes every secondary window, remembering where each was (before the main window's context goes).
void CloseSecondaryWindows();

} // namespace GlfwWindows
