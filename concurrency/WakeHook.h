#pragma once

#include <functional>

// Worker threads call WakeUserInterface when something the window shows has changed (a task
// finished, a search found hits), so that a window that sleeps while nothing happens draws again.
// The core knows nothing of windows: the shell installs the hook (it must not call back into the
// core); without one the call does nothing.
void SetWakeHook(std::function<void()> hook);
void WakeUserInterface();
