#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
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

// Up to `limit` keys of `map`, spread evenly over its order, then shuffled by `seed`.
template <class Map> std::vector<std::string> SampleKeys(const Map& map, size_t limit, uint64_t seed);

// Fisher-Yates with splitmix64, so the order is the same on every platform.
void ShuffleKeys(std::vector<std::string>& keys, uint64_t seed);

template <class Map> std::vector<std::string> SampleKeys(const Map& map, size_t limit, uint64_t seed)
{
    std::vector<std::string> keys;
    if (map.empty() || limit == 0)
        return keys;
    size_t step = map.size() <= limit ? 1 : map.size() / limit;
    keys.reserve(std::min(map.size(), limit));
    size_t i = 0;
    for (const auto& entry : map) {
        if (i++ % step == 0 && keys.size() < limit)
            keys.push_back(entry.first);
    }
    ShuffleKeys(keys, seed);
    return keys;
}

// Number of segments of an element path ("/A/B" has 2); used to find the deepest element.
size_t PathDepth(const std::string& path);
