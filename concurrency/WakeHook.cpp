#include "concurrency/WakeHook.h"

#include <memory>
#include <mutex>

namespace {
std::mutex hookMutex;
std::shared_ptr<const std::function<void()>> installedHook;
} // namespace

void SetWakeHook(std::function<void()> hook)
{
    auto next = hook ? std::make_shared<const std::function<void()>>(std::move(hook)) : nullptr;
    std::lock_guard<std::mutex> lock(hookMutex);
    installedHook = std::move(next);
}

void WakeUserInterface()
{
    std::shared_ptr<const std::function<void()>> hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        hook = installedHook;
    }
    // Called outside the lock: the hook may take locks of the window system.
    if (hook)
        (*hook)();
}
