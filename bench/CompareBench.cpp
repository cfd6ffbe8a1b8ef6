#include "bench/CompareBench.h"

#include "bench/EditedCopy.h"
#include "bench/Measure.h"
#include "lifecycle/LoadingState.h"
#include "lifecycle/ReadyState.h"
#include "model/Workspace.h"
#include "platform/Platform.h"
#include "query/ChangeMarks.h"
#include "query/ModelCompare.h"

#include <cmath>
#include <filesystem>
#include <thread>

namespace {
// Opens every path at once, as the viewer's states do, polling every millisecond; empty when one fails.
std::vector<std::shared_ptr<State>> OpenAll(const std::vector<std::string>& paths)
{
    std::vector<std::shared_ptr<State>> states;
    for (const std::string& path : paths)
        states.push_back(std::make_shared<LoadingState>(path));
    for (bool settled = false; !settled;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        settled = true;
        for (std::shared_ptr<State>& state : states) {
            state = state->Update();
            settled =
                settled && state->GetKind() != StateKind::Loading && state->GetKind() != StateKind::Indexing;
        }
    }
    for (const std::shared_ptr<State>& state : states) {
        if (state->GetKind() != StateKind::Ready)
            return {};
    }
    return states;
}

size_t CompareStates(const std::vector<std::shared_ptr<State>>& states)
{
    std::atomic<bool> stop{false};
    return CompareModels(*states[0]->GetWorkspace(), *states[1]->GetWorkspace(), {}, stop).size();
}

// Seconds to open both versions at once, then to compare them, the number of changes, and the
// seconds the viewer takes to compare them and place the changes on its tree.
std::vector<double> TimedComparison(const std::string& oldPath, const std::string& newPath)
{
    auto start = BenchClock::now();
    std::vector<std::shared_ptr<State>> states = OpenAll({oldPath, newPath});
    double opened = SecondsSince(start);
    if (states.empty())
        return {NAN, NAN, NAN, NAN};
    start = BenchClock::now();
    size_t changes = CompareStates(states);
    const double compared = SecondsSince(start);
    std::atomic<bool> stop{false};
    start = BenchClock::now();
    CompareForTree(states[0]->GetWorkspace(), states[1]->GetWorkspace(), stop);
    return {opened, compared, double(changes), SecondsSince(start)};
}

// In a fresh process: the peak resident set with both versions open, then after comparing them.
std::vector<double> PeakMemory(const std::string& oldPath, const std::string& newPath)
{
    Platform::ResetPeakMemory();
    std::vector<std::shared_ptr<State>> states = OpenAll({oldPath, newPath});
    if (states.empty())
        return {NAN, NAN};
    double opened = double(Platform::PeakMemoryBytes());
    CompareStates(states);
    return {opened, double(Platform::PeakMemoryBytes())};
}

} // namespace

std::vector<std::pair<std::string, double>> CompareFigures(const std::string& path)
{
    const std::string edited = path + ".tessaro-bench-edited.arxml";
    const std::string copy = path + ".tessaro-bench-copy.arxml";
    std::vector<std::pair<std::string, double>> figures;
    try {
        figures.emplace_back("compare_edited_elements", double(WriteEditedCopy(path, edited, 100)));
        std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
        // Children first, while this process has no threads and a small heap.
        std::vector<double> peaks = Platform::RunIsolated([&] { return PeakMemory(path, edited); }, 2);
        auto start = BenchClock::now();
        bool opened = !OpenAll({path}).empty();
        double openOne = opened ? SecondsSince(start) : NAN;
        std::vector<double> changed = TimedComparison(path, edited);
        std::vector<double> same = TimedComparison(path, copy);
        figures.insert(figures.end(), {
                                          {"compare_open_one_s", openOne},
                                          {"compare_open_both_s", changed[0]},
                                          {"compare_s", changed[1]},
                                          {"compare_changes", changed[2]},
                                          {"compare_in_viewer_s", changed[3]},
                                          {"compare_to_open_ratio", (changed[0] + changed[1]) / openOne},
                                          {"compare_same_open_both_s", same[0]},
                                          {"compare_same_s", same[1]},
                                          {"compare_same_changes", same[2]},
                                          {"compare_same_in_viewer_s", same[3]},
                                          {"compare_same_to_open_ratio", (same[0] + same[1]) / openOne},
                                          {"compare_peak_rss_bytes", peaks[1]},
                                          {"compare_peak_to_opened_ratio", peaks[1] / peaks[0]},
                                      });
    } catch (const std::exception& e) {
        figures.emplace_back("compare_failed", 1);
    }
    std::error_code ignored;
    std::filesystem::remove(edited, ignored);
    std::filesystem::remove(copy, ignored);
    return figures;
}
