#pragma once

#include "concurrency/Future.h"
#include "concurrency/WakeHook.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <tuple>
#include <type_traits>
#include <vector>

// Fixed number of workers taking tasks first in, first out. A stopping pool drains its queue first.
class ThreadPool
{
public:
    explicit ThreadPool(size_t threadCount);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Queues object->*method(args...) and returns the future of its result.
    template <class F, class Object, class... Args> auto Submit(F&& method, Object* object, Args&&... args)
    {
        using R = std::invoke_result_t<F, Object*, std::decay_t<Args>...>;
        Future<R> future;
        auto task = [method = std::forward<F>(method), object, future,
                     stored = std::make_tuple(std::decay_t<Args>(std::forward<Args>(args))...)]() mutable {
            try {
                if constexpr (std::is_void_v<R>) {
                    std::apply([&](auto&... a) { (object->*method)(a...); }, stored);
                    future.SetValue();
                } else {
                    future.SetValue(std::apply([&](auto&... a) { return (object->*method)(a...); }, stored));
                }
            } catch (const std::exception& e) {
                future.SetException(e);
            }
            WakeUserInterface(); // the state polls this future on the next frame
        };
        {
            std::lock_guard<std::mutex> lock(mutex);
            tasks.emplace_back(std::move(task));
        }
        condition.notify_one();
        return future;
    }

    void RequestStop();
    bool StopRequested() const { return stop.load(std::memory_order_relaxed); }
    // For long tasks that poll the stop request once per step without a call.
    const std::atomic<bool>& StopFlag() const { return stop; }

private:
    void WorkerLoop();

    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable condition;
    std::vector<std::thread> workers;
    std::deque<std::function<void()>> tasks;
};
