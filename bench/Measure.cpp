#include "bench/Measure.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

void ShuffleKeys(std::vector<std::string>& keys, uint64_t seed)
{
    uint64_t state = seed;
    auto next = [&state] {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    };
    for (size_t i = keys.size(); i > 1; --i)
        std::swap(keys[i - 1], keys[next() % i]);
}

size_t PathDepth(std::string_view path)
{
    size_t depth = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '/' && (i + 1 < path.size()))
            ++depth;
    }
    return depth;
}

std::vector<std::string> SampleKeys(std::vector<std::string> keys, size_t limit, uint64_t seed)
{
    if (keys.empty() || limit == 0)
        return {};
    size_t step = keys.size() <= limit ? 1 : keys.size() / limit;
    std::vector<std::string> sampled;
    sampled.reserve(std::min(keys.size(), limit));
    // Copies, not the strings themselves: those lie scattered over all the memory the full list
    // took (hundreds of megabytes for a large document), and reading them would add misses of the
    // bench's own to every call, where a window holds its question in a string of its own.
    for (size_t i = 0; i < keys.size() && sampled.size() < limit; i += step)
        sampled.push_back(keys[i]);
    ShuffleKeys(sampled, seed);
    return sampled;
}

double Round(double value, int digits)
{
    if (std::isnan(value))
        return value;
    double scale = std::pow(10.0, digits);
    return std::round(value * scale) / scale;
}

double Median(std::vector<double> values)
{
    if (values.empty() || std::any_of(values.begin(), values.end(), [](double v) { return std::isnan(v); }))
        return NAN;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

Reaper& BenchReaper()
{
    static Reaper reaper;
    return reaper;
}

std::shared_ptr<State> PollUntilSettled(std::shared_ptr<State> state, UiCallTimer& ui, double* indexedAt)
{
    auto start = BenchClock::now();
    while (state->GetKind() == StateKind::Loading || state->GetKind() == StateKind::Indexing) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ui("Update", [&] {
            AdvanceState(state, BenchReaper());
            return 0;
        });
        if (indexedAt && *indexedAt == 0.0 && state->GetKind() != StateKind::Loading)
            *indexedAt = SecondsSince(start);
    }
    return state;
}
