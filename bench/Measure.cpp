#include "bench/Measure.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

std::vector<double> RunInChild(const std::function<std::vector<double>()>& work, size_t count)
{
    std::vector<double> values(count, NAN);
    int fds[2];
    if (pipe(fds) != 0)
        return values;
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return values;
    }
    if (pid == 0) {
        close(fds[0]);
        try {
            std::vector<double> got = work();
            std::copy_n(got.begin(), std::min(got.size(), count), values.begin());
        } catch (...) {
        }
        size_t bytes = count * sizeof(double);
        ssize_t written = write(fds[1], values.data(), bytes);
        _exit(written == ssize_t(bytes) ? 0 : 1); // no destructors: the parent owns every shared resource
    }
    close(fds[1]);
    size_t bytes = count * sizeof(double);
    size_t got = 0;
    while (got < bytes) {
        ssize_t n = read(fds[0], reinterpret_cast<char*>(values.data()) + got, bytes - got);
        if (n <= 0)
            break;
        got += size_t(n);
    }
    if (got != bytes)
        std::fill(values.begin(), values.end(), NAN);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return values;
}

uint64_t PeakRssBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoull(line.substr(6)) * 1024;
    }
    return 0;
}

void ResetPeakRss()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

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
    for (size_t i = 0; i < keys.size() && sampled.size() < limit; i += step)
        sampled.push_back(std::move(keys[i]));
    ShuffleKeys(sampled, seed);
    return sampled;
}
