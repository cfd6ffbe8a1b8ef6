#pragma once

#include <chrono>

// The moment tessaro-query stops waiting for an answer: a document that never finishes loading
// or a query that never settles then ends the run with an error instead of hanging a script.
class Deadline
{
public:
    explicit Deadline(double seconds)
        : at(std::chrono::steady_clock::now() +
             std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                 std::chrono::duration<double>(seconds)))
    {}

    bool Passed() const { return std::chrono::steady_clock::now() >= at; }

private:
    std::chrono::steady_clock::time_point at;
};
