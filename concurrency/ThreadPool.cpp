#include "concurrency/ThreadPool.h"

#include "concurrency/ThreadStart.h"

// A worker that cannot start leaves the pool unusable: the ones already running are stopped and
// joined before the failure goes on to the owner (a joinable thread destroyed would end the process).
ThreadPool::ThreadPool(size_t threadCount)
{
    workers.reserve(threadCount);
    try {
        for (size_t i = 0; i < threadCount; ++i)
            workers.push_back(StartThread([this] { WorkerLoop(); }));
    } catch (...) {
        RequestStop();
        for (auto& worker : workers)
            worker.join();
        throw;
    }
}

ThreadPool::~ThreadPool()
{
    RequestStop();
    for (auto& worker : workers)
        worker.join();
}

void ThreadPool::RequestStop()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    condition.notify_all();
}

void ThreadPool::WorkerLoop()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex);
            condition.wait(lock, [this] { return stop || !tasks.empty(); });
            if (stop && tasks.empty())
                return;
            task = std::move(tasks.front());
            tasks.pop_front();
        }
        task();
    }
}
