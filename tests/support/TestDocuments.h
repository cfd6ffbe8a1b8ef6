#pragma once

#include "lifecycle/State.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Parses inline XML for a test; fails the test on a parse error.
std::shared_ptr<pugi::xml_document> ParseDocument(const std::string& xml);

// A fresh temporary directory, removed with the object.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return path; }
    std::string File(const std::string& name) const { return (path / name).string(); }
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path;
};

// Drives Update() as a frame loop would (1 ms apart) until the kind is reached or 60 s pass.
std::shared_ptr<State> UpdateUntil(std::shared_ptr<State> state, StateKind kind);

// Opens a path from a fresh initial state and drives it until it is Ready or Error.
std::shared_ptr<State> OpenAndSettle(const std::string& path);

class Index;
// The index of the one file a ready state holds.
const Index& OnlyIndex(const State& ready);

// Asks a query every millisecond until it is no longer Pending (or Partial), as the GUI would.
template <class Query> auto PollUntilFinal(Query&& query)
{
    auto result = query();
    for (int i = 0;
         i < 60000 && (result.status == ResultStatus::Pending || result.status == ResultStatus::Partial);
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        result = query();
    }
    return result;
}

// Checks `condition` every millisecond until it holds (true) or `seconds` pass (false).
bool WaitUntil(const std::function<bool()>& condition, double seconds = 60);

// Wall-clock seconds that `work` took; tests compare such figures only with others of the same run.
double SecondsOf(const std::function<void()>& work);

// Counts the wake-ups that worker threads send while it lives: one per finished pool task.
class WakeCounter
{
public:
    WakeCounter();
    ~WakeCounter();
    int Count() const { return count->load(); }
    void Reset() { *count = 0; }
    // Waits up to 60 s until at least `n` wake-ups were counted; false on timeout.
    bool WaitFor(int n) const;

private:
    std::shared_ptr<std::atomic<int>> count = std::make_shared<std::atomic<int>>(0);
};

// The real ARXML files beside the project, or an empty list when they are absent.
std::vector<std::filesystem::path> SharedArxmlFiles();
