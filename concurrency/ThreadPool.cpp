#include "concurrency/ThreadPool.h"

ThreadPool::ThreadPool(size_t threadCount)
{
    workers.reserve(threadCount);
    for (size_t i = 0; i < threadCount; ++i)
        workers.emplace_back([this] { WorkerLoop(); });
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
