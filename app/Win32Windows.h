#pragma once

#include "settings/Settings.h"
#include "ui/WindowHost.h"

// windows.h comes first: the other system headers build on it.
#include <windows.h>

#include <d3d11.h>

#include <map>
#include <string>

// Every window of the viewer on Windows has a GUI library context of its own, kept in the window's
// user data; the library's Win32 back end keeps its data per context, so each window's messages are
// handed to it with that context current, whichever context the frame has current when they come.
namespace Win32Windows {

// A window class of the viewer named `name`: the program icon and the arrow cursor.
WNDCLASSEXW ViewerClass(const wchar_t* name, WNDPROC procedure);

// Gives `window`'s messages to `context` (null: to none).
void SetContext(HWND window, ImGuiContext* context);

// Notes the message if it is input, then hands it to the Win32 back end of the window's context.
// True when the back end took it.
bool Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Whether any input, resize, focus change, redraw request, close or drop arrived since the last call.
bool TakeInputSeen();

// The secondary windows, owned by `main` (so Windows keeps them above it, minimizes them with it and
// leaves them out of the task bar), drawn with `device`, with the current context's style and font
// atlas at `mainScale`. Their places are remembered in `places` by kind. Files dropped on them go to
// the main window.
WindowHost* StartSecondaryWindows(HWND main, ID3D11Device* device, ID3D11DeviceContext* deviceContext,
                                  float mainScale, std::map<std::string, WindowPlace>& places);

// After each frame: closes the windows the interface did not draw in it, or that the user closed.
void AfterFrame();

// Closes every secondary window, remembering where each was (before the main window's context goes).
void CloseSecondaryWindows();

} // namespace Win32Windows
