#include "bench/WorkspaceBench.h"

#include "bench/Measure.h"
#include "concurrency/Reaper.h"
#include "document/LoadingState.h"
#include "model/Workspace.h"
#include "platform/Platform.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <iostream>
#include <thread>

namespace {
// Drives the state machine every millisecond, as the viewer's frames do, until Ready or Error;
// replaced states are freed by the reaper, off this thread.
std::shared_ptr<State> OpenToReady(const std::string& path, Reaper& reaper)
{
    std::shared_ptr<State> state = LoadingState::Start(path);
    while (state->GetKind() == StateKind::Loading || state->GetKind() == StateKind::Indexing) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        AdvanceState(state, reaper);
    }
    return state;
}

double Round(double value, int digits)
{
    double scale = std::pow(10.0, digits);
    return std::round(value * scale) / scale;
}
} // namespace

int RunWorkspaceBench(const std::string& folder)
{
    const std::vector<std::string> files = ListWorkspaceFiles(folder);
    if (files.empty()) {
        std::cerr << "No .arxml file or .zip archive in " << folder << '\n';
        return 1;
    }
    uint64_t totalBytes = 0;
    for (const std::string& file : files)
        totalBytes += std::filesystem::file_size(file);

    // In a child first, while this process has no threads: the peak of a fresh process.
    std::vector<double> child = Platform::RunIsolated(
        [&] {
            Platform::ResetPeakMemory();
            Reaper reaper;
            std::shared_ptr<State> state = OpenToReady(folder, reaper);
            reaper.Drain();
            return std::vector<double>{double(Platform::PeakMemoryBytes())};
        },
        1);

    // Each file on its own, as `tessaro-bench FILE` measures its open_to_ready_s: in a fresh process.
    double oneAfterAnother = 0;
    size_t singleFailures = 0;
    for (const std::string& file : files) {
        std::vector<double> seconds = Platform::RunIsolated(
            [&] {
                Reaper reaper;
                auto start = BenchClock::now();
                std::shared_ptr<State> state = OpenToReady(file, reaper);
                double took = SecondsSince(start);
                return std::vector<double>{state->GetKind() == StateKind::Ready ? took : NAN};
            },
            1);
        singleFailures += std::isnan(seconds[0]);
        oneAfterAnother += std::isnan(seconds[0]) ? 0 : seconds[0];
    }

    // The loading alone, on one worker and on one per core, without the frames of the viewer.
    Reaper reaper;
    std::vector<double> direct;
    for (size_t workers : {size_t(1), size_t(2)}) {
        std::atomic<bool> never{false};
        auto begin = BenchClock::now();
        std::vector<WorkspaceFile> loaded = LoadWorkspaceFiles(files, workers, never);
        direct.push_back(SecondsSince(begin));
        reaper.Dispose(std::make_shared<Workspace>(std::move(loaded)));
        reaper.Drain();
    }

    auto start = BenchClock::now();
    std::shared_ptr<State> state = OpenToReady(folder, reaper);
    const double together = SecondsSince(start);
    std::shared_ptr<const Workspace> workspace = state->GetWorkspace();

    nlohmann::ordered_json out;
    out["workspace"] = folder;
    out["files"] = files.size();
    out["files_loaded"] = workspace ? workspace->LoadedCount() : 0;
    out["single_file_failures"] = singleFailures;
    out["total_bytes"] = totalBytes;
    out["workers"] = std::max(1u, std::thread::hardware_concurrency());
    out["sum_single_open_to_ready_s"] = Round(oneAfterAnother, 4);
    out["open_to_ready_s"] = Round(together, 4);
    out["load_1_worker_s"] = Round(direct[0], 4);
    out["load_2_workers_s"] = Round(direct[1], 4);
    out["open_to_ready_ratio"] = Round(together / oneAfterAnother, 3);
    if (std::isnan(child[0])) {
        out["peak_rss_bytes"] = nullptr;
    } else {
        out["peak_rss_bytes"] = uint64_t(child[0]);
        out["peak_rss_ratio"] = Round(child[0] / double(totalBytes), 3);
    }
    std::cout << out.dump() << std::endl;
    return workspace ? 0 : 1;
}
