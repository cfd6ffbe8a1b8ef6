#pragma once

#include "concurrency/Future.h"
#include "document/Result.h"

#include <exception>
#include <mutex>
#include <optional>

// The answer of one task, asked for once per frame: Pending until the task has ended, then its
// value or its error for good. Never waits.
template <class T> class PolledAnswer
{
public:
    bool Started() const { return started; }

    void Start(Future<T> task)
    {
        future = std::move(task);
        started = true;
    }

    // Until the task has ended (it should have been asked to stop); for destructors.
    void Wait() const
    {
        if (!started)
            return;
        std::unique_lock<std::mutex> lock(future.state->mutex);
        future.state->condition.wait(lock, [this] { return future.state->ready; });
    }

    Result<T> Poll()
    {
        if (answer)
            return *answer;
        if (!future.IsReady())
            return Result<T>::Pending();
        try {
            answer = Result<T>::Value(future.Get());
        } catch (const std::exception& e) {
            answer = Result<T>::Error(e.what());
        }
        return *answer;
    }

private:
    Future<T> future;
    bool started = false;
    std::optional<Result<T>> answer;
};
