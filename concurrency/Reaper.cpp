#include "concurrency/Reaper.h"

#include "platform/Platform.h"

Reaper::Reaper() : thread([this] { Run(); }) {}

Reaper::~Reaper()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    condition.notify_all();
    thread.join();
}

void Reaper::Dispose(std::shared_ptr<void> object)
{
    if (!object)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        queue.push_back(std::move(object));
    }
    condition.notify_all();
}

void Reaper::Drain()
{
    std::unique_lock<std::mutex> lock(mutex);
    condition.wait(lock, [this] { return queue.empty() && !busy; });
}

void Reaper::Run()
{
    Platform::LowerCurrentThreadPriority();
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        condition.wait(lock, [this] { return stop || !queue.empty(); });
        if (queue.empty())
            return; // stopping with nothing left
        std::shared_ptr<void> object = std::move(queue.front());
        queue.pop_front();
        busy = true;
        lock.unlock();
        object.reset(); // may wait for the object's own threads: never under the lock
        lock.lock();
        busy = false;
        condition.notify_all();
    }
}
