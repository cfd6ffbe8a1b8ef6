#pragma once

#include "concurrency/TaskError.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

// Handle to the outcome of one pool task. Copies share the outcome; polling never waits.
template <class T> class Future
{
public:
    struct SharedState
    {
        std::exception_ptr exception;
        bool ready = false;
        std::mutex mutex;
        std::condition_variable condition;
        std::shared_ptr<T> value;
    };

    Future() : state(std::make_shared<SharedState>()) {}

    bool IsReady() const
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        return state->ready;
    }

    T Get() const
    {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->condition.wait(lock, [this] { return state->ready; });
        if (state->exception)
            std::rethrow_exception(state->exception);
        T copy = *state->value;
        lock.unlock();
        return copy;
    }

    void SetValue(T result) const
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->value = std::make_shared<T>(std::move(result));
        state->ready = true;
        state->condition.notify_all();
    }

    void SetException(const std::exception& e) const
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->exception = std::make_exception_ptr(TaskError(e.what()));
        state->ready = true;
        state->condition.notify_all();
    }

    // The same outcome object for every copy; lets tests and callers compare identity.
    const std::shared_ptr<T>& ValueObject() const { return state->value; }

    std::shared_ptr<SharedState> state;
};

template <> class Future<void>
{
public:
    struct SharedState
    {
        std::exception_ptr exception;
        bool ready = false;
        std::mutex mutex;
        std::condition_variable condition;
    };

    Future() : state(std::make_shared<SharedState>()) {}

    bool IsReady() const
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        return state->ready;
    }

    void Get() const
    {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->condition.wait(lock, [this] { return state->ready; });
        if (state->exception)
            std::rethrow_exception(state->exception);
    }

    void SetValue() const
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->ready = true;
        state->condition.notify_all();
    }

    void SetException(const std::exception& e) const
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->exception = std::make_exception_ptr(TaskError(e.what()));
        state->ready = true;
        state->condition.notify_all();
    }

    std::shared_ptr<SharedState> state;
};
