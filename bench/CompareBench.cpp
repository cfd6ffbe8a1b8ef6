#include "bench/CompareBench.h"

#include "bench/Measure.h"
#include "document/LoadingState.h"
#include "model/Workspace.h"
#include "platform/Platform.h"
#include "query/ModelCompare.h"
#include "query/ReadyState.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <stdexcept>
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

// Seconds to open both versions at once, then to compare them, and the number of changes.
std::vector<double> TimedComparison(const std::string& oldPath, const std::string& newPath)
{
    auto start = BenchClock::now();
    std::vector<std::shared_ptr<State>> states = OpenAll({oldPath, newPath});
    double opened = SecondsSince(start);
    if (states.empty())
        return {NAN, NAN, NAN};
    start = BenchClock::now();
    size_t changes = CompareStates(states);
    return {opened, SecondsSince(start), double(changes)};
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

// The text between the first '>' and the next '<' of a line such as "<TAG>text</TAG>".
bool FindText(const std::string& line, size_t& begin, size_t& end)
{
    begin = line.find('>');
    end = begin == std::string::npos ? begin : line.find('<', begin);
    return end != std::string::npos && line.compare(end, 2, "</") == 0;
}
} // namespace

uint64_t WriteEditedCopy(const std::string& from, const std::string& to, uint64_t every)
{
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    if (!in || !out)
        throw std::runtime_error("cannot write an edited copy of " + from);
    std::string previous, line;
    bool havePrevious = false;
    uint64_t named = 0, edited = 0;
    int pendingValue = 0; // the value to change is on the next leaf line
    while (std::getline(in, line)) {
        size_t begin = 0, end = 0;
        if (pendingValue && FindText(line, begin, end)) {
            line.insert(end, "_v2");
            pendingValue = 0;
        }
        if (line.find("<SHORT-NAME>") != std::string::npos && named++ % every == every / 2 &&
            FindText(line, begin, end)) {
            ++edited;
            switch (edited % 3) {
                case 0: // renamed
                    line.insert(end, "_v2");
                    break;
                case 1: // a value changed
                    pendingValue = 1;
                    break;
                case 2: // a sibling added before the element, whose opening tag is on the line before
                    previous = "<I-SIGNAL><SHORT-NAME>Added" + std::to_string(edited) +
                               "</SHORT-NAME></I-SIGNAL>\n" + previous;
                    break;
            }
        }
        if (havePrevious)
            out << previous << '\n';
        previous = std::move(line);
        havePrevious = true;
    }
    if (havePrevious)
        out << previous << '\n';
    if (!out.flush())
        throw std::runtime_error("cannot write an edited copy of " + from);
    return edited;
}

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
                                          {"compare_to_open_ratio", (changed[0] + changed[1]) / openOne},
                                          {"compare_same_open_both_s", same[0]},
                                          {"compare_same_s", same[1]},
                                          {"compare_same_changes", same[2]},
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
