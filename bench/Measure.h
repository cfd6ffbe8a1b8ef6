#pragma once

#include "concurrency/Reaper.h"
#include "lifecycle/State.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using BenchClock = std::chrono::steady_clock;

// How many keys each lookup figure asks, at most; the calls are timed one by one.
inline constexpr size_t kQueryKeys = 10000;

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

// `value` rounded to `digits` decimals; NaN stays NaN.
double Round(double value, int digits);

// The middle value; NaN when there is none or any is NaN.
double Median(std::vector<double> values);

// Replaced states are freed here, as in the viewer, never on the polling thread.
Reaper& BenchReaper();

// Drives Update() every millisecond, as the viewer's frames do, until the state is Ready or Error.
// `indexedAt` receives the seconds from the call until the state was no longer Loading.
std::shared_ptr<State> PollUntilSettled(std::shared_ptr<State> state, UiCallTimer& ui,
                                        double* indexedAt = nullptr);

// Mean microseconds of `findPath` over `paths`: what any key lookup costs at least. NaN unless it
// finds every one.
template <class FindPath>
double MeanPathFindMicros(const std::vector<std::string>& paths, FindPath&& findPath)
{
    size_t found = 0;
    auto start = BenchClock::now();
    for (const std::string& path : paths)
        found += bool(findPath(path));
    double seconds = SecondsSince(start);
    return found == paths.size() && !paths.empty() ? seconds / double(paths.size()) * 1e6 : NAN;
}

// Up to `limit` of `keys` (in their given order), spread evenly over it, then shuffled by `seed`.
std::vector<std::string> SampleKeys(std::vector<std::string> keys, size_t limit, uint64_t seed);

// Fisher-Yates with splitmix64, so the order is the same on every platform.
void ShuffleKeys(std::vector<std::string>& keys, uint64_t seed);

// Number of segments of an element path ("/A/B" has 2); used to find the deepest element.
size_t PathDepth(std::string_view path);

// Mean microseconds of the first call per key, exactly kQueryKeys calls, so that documents with
// fewer keys are not averaged over more calls than others. Keys beyond what one state has are
// asked again of states from `fresh` (equal to `ready` but with empty caches), so that no call is
// answered from a cache.
template <class Query, class Fresh>
double MeanFirstCallMicros(std::shared_ptr<State>& ready, const std::vector<std::string>& keys,
                           UiCallTimer& ui, const char* what, Query&& query, Fresh&& fresh)
{
    if (keys.empty())
        return NAN;
    double total = 0.0;
    size_t calls = 0;
    std::shared_ptr<State> asked = ready;
    while (calls < kQueryKeys) {
        if (calls > 0)
            asked = fresh();
        for (size_t i = 0; i < keys.size() && calls < kQueryKeys; ++i) {
            const std::string& key = keys[i];
            auto start = BenchClock::now();
            auto result = query(*asked, key);
            double seconds = SecondsSince(start);
            ui.Record(what, seconds);
            total += seconds;
            ++calls;
            if (result.status != ResultStatus::Done && result.status != ResultStatus::Error)
                return NAN;
        }
    }
    return total / double(calls) * 1e6;
}
