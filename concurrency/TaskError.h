#pragma once

#include <exception>
#include <string>

// What a failed task leaves in its future: the failure's text, but not its type.
// Derives from std::exception only, so a std::runtime_error handler never catches it.
class TaskError : public std::exception
{
public:
    explicit TaskError(std::string message) : message(std::move(message)) {}
    const char* what() const noexcept override { return message.c_str(); }

private:
    std::string message;
};
