#include "concurrency/WakeHook.h"

#include <mutex>

namespace {
std::mutex hookMutex;
std::function<void()> installedHook;
} // namespace

void SetWakeHook(std::function<void()> hook)
{
    std::lock_guard<std::mutex> lock(hookMutex);
    installedHook = std::move(hook);
}

void WakeUserInterface()
{
    // Called under the lock, so that once SetWakeHook(nullptr) has returned no call of the old
    // hook is still running: the window behind it may be gone.
    std::lock_guard<std::mutex> lock(hookMutex);
    if (installedHook)
        installedHook();
}
