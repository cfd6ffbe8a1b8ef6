#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

using BenchClock = std::chrono::steady_clock;

inline double SecondsSince(BenchClock::time_point start)
{
    return std::chrono::duration<double>(BenchClock::now() - start).count();
}

// Times every call the polling thread makes, keeping the longest.
class UiCallTimer
{
public:
    template <class F> auto operator()(const char* what, F&& call)
    {
        auto start = BenchClock::now();
        auto result = call();
        Record(what, SecondsSince(start));
        return result;
    }

    void Record(const char* what, double seconds)
    {
        if (seconds > longest) {
            longest = seconds;
            longestWhat = what;
        }
    }

    double longest = 0.0;
    std::string longestWhat;
};

// Up to `limit` of `keys` (in their given order), spread evenly over it, then shuffled by `seed`.
std::vector<std::string> SampleKeys(std::vector<std::string> keys, size_t limit, uint64_t seed);

// Fisher-Yates with splitmix64, so the order is the same on every platform.
void ShuffleKeys(std::vector<std::string>& keys, uint64_t seed);

// Number of segments of an element path ("/A/B" has 2); used to find the deepest element.
size_t PathDepth(std::string_view path);
