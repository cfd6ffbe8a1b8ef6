#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

enum class ResultStatus : int32_t
{
    Empty = 0,
    Partial = 1,
    Done = 2,
    Error = 3,
    Pending = 4,
};

// What every query answers at once. Copies share the value object.
template <class T> struct Result
{
    ResultStatus status = ResultStatus::Empty;
    std::shared_ptr<T> value;
    std::string message;
    double progress = -1.0;

    static Result Error(std::string message)
    {
        Result r;
        r.status = ResultStatus::Error;
        r.message = std::move(message);
        return r;
    }

    static Result Value(T value)
    {
        Result r;
        r.status = ResultStatus::Done;
        r.value = std::make_shared<T>(std::move(value));
        return r;
    }

    static Result Partial(T value, double progress)
    {
        Result r;
        r.status = ResultStatus::Partial;
        r.value = std::make_shared<T>(std::move(value));
        r.progress = progress;
        return r;
    }

    static Result Pending()
    {
        Result r;
        r.status = ResultStatus::Pending;
        return r;
    }

    T& GetValue() const
    {
        if (status != ResultStatus::Partial && status != ResultStatus::Done)
            throw std::logic_error("Result does not contain a value.");
        return *value;
    }

    std::string GetError() const
    {
        if (status != ResultStatus::Error)
            throw std::logic_error("Result does not contain an error message.");
        return message;
    }
};
