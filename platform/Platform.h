#pragma once

#include <functional>
#include <string>
#include <vector>

// Operating-system services the program needs, one source file per platform.
namespace Platform {

// Shows the desktop's open-file dialog; calls onChosen with the chosen path, or with an empty
// string when the dialog was cancelled or no dialog program exists.
void ShowOpenFileDialog(const std::function<void(const std::string&)>& onChosen);

// Starts another copy of this program, detached. `arguments` becomes its whole command line
// (one argument, or none when empty).
void LaunchInstance(const std::string& arguments);

// Starts `arguments[0]` (searched on PATH when it has no slash) with exactly these arguments, no
// shell, in a session of its own; the child is reaped when it ends, so no zombie is left. False
// when it could not be started.
bool SpawnDetached(const std::vector<std::string>& arguments);

// Opens a web address in the desktop's browser, detached; failures are ignored.
void OpenWebAddress(const std::string& address);

// Full path of the running executable; empty when it cannot be read.
std::string GetExecutablePath();

// File name part of the running executable's path.
std::string GetExecutableName();

// Running processes whose executable file name equals `name`, compared without regard to case.
int CountProcessesNamed(const std::string& name);

// Lets the calling thread's work (freeing replaced documents, say) yield to the window's thread,
// so that waking it never takes the processor from a frame.
void LowerCurrentThreadPriority();

} // namespace Platform
