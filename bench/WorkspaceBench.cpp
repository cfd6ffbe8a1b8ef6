#include "bench/WorkspaceBench.h"

#include "bench/DocumentGenerator.h"
#include "bench/Measure.h"
#include "concurrency/Reaper.h"
#include "document/LoadingState.h"
#include "model/IndexingState.h"
#include "model/Workspace.h"
#include "platform/Platform.h"
#include "query/ReadyState.h"
#include "query/WorkspaceState.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
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
    if (std::isnan(value))
        return value;
    double scale = std::pow(10.0, digits);
    return std::round(value * scale) / scale;
}

void SortUnique(std::vector<std::string>& keys)
{
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
}

// Mean microseconds of `findPath` over `paths`, NaN unless it finds every one.
template <class FindPath>
double MeanPathFindMicros(const std::vector<std::string>& paths, FindPath&& findPath)
{
    size_t found = 0;
    auto start = BenchClock::now();
    for (const std::string& path : paths)
        found += findPath(path);
    double seconds = SecondsSince(start);
    return found == paths.size() && !paths.empty() ? seconds / double(paths.size()) * 1e6 : NAN;
}

// The lookups the tree, the Find dialogs and Open Ref make on the user-interface thread, timed as
// `tessaro-bench FILE` times them: the first call of each of up to kQueryKeys distinct keys (paths,
// short names, reference texts of all the indexes), no answer from a cache. `fresh` gives a state
// over the same model with empty caches.
template <class Fresh, class FindPath>
void QueryFigures(std::shared_ptr<State> ready, const std::vector<const Index*>& indexes, Fresh&& fresh,
                  FindPath&& findPath, const std::string& prefix, nlohmann::ordered_json& out)
{
    std::vector<std::string> paths, names, texts;
    for (const Index* index : indexes) {
        index->ForEachPath([&](std::string_view path, pugi::xml_node) {
            paths.emplace_back(path);
            names.emplace_back(path.substr(path.rfind('/') + 1));
        });
        index->ForEachReferenceText(
            [&](std::string_view text, std::span<const pugi::xml_node>) { texts.emplace_back(text); });
    }
    for (auto* keys : {&paths, &names, &texts})
        SortUnique(*keys);
    paths = SampleKeys(std::move(paths), kQueryKeys, 1);
    names = SampleKeys(std::move(names), kQueryKeys, 2);
    texts = SampleKeys(std::move(texts), kQueryKeys, 3);
    UiCallTimer ui;
    auto findRef = [](State& s, const std::string& key) { return s.FindRef(key); };
    auto findShortName = [](State& s, const std::string& key) { return s.FindShortName(key); };
    auto countRefsTo = [](State& s, const std::string& key) { return s.CountRefsTo(key); };
    out[prefix + "find_ref_us"] = Round(MeanFirstCallMicros(ready, paths, ui, "FindRef", findRef, fresh), 3);
    out[prefix + "find_short_name_us"] =
        Round(MeanFirstCallMicros(ready, names, ui, "FindShortName", findShortName, fresh), 3);
    out[prefix + "count_refs_to_us"] =
        Round(MeanFirstCallMicros(ready, texts, ui, "CountRefsTo", countRefsTo, fresh), 3);
    // The bare path search under FindRef, without the Ref it makes and the cache it fills; and the
    // same search made by asking every index in turn until one has the path.
    out[prefix + "path_find_floor_us"] = Round(MeanPathFindMicros(paths, findPath), 3);
    if (indexes.size() > 1) {
        auto askEveryFile = [&](const std::string& path) {
            return std::any_of(indexes.begin(), indexes.end(),
                               [&](const Index* index) { return bool(index->FindPath(path)); });
        };
        out[prefix + "path_find_file_by_file_us"] = Round(MeanPathFindMicros(paths, askEveryFile), 3);
    }
}

// The same figures for one generated file as large as the whole workspace: what a single document
// of the same total size costs, measured in the same run.
void SingleFileQueryFigures(uint64_t totalBytes, GeneratedShape shape, Reaper& reaper,
                            nlohmann::ordered_json& out)
{
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("tessaro-bench-single-" + std::to_string(Platform::ProcessId()) + ".arxml"))
                                 .string();
    try {
        WriteGeneratedArxmlFile(path, totalBytes, 1, shape);
        out["single_file_bytes"] = std::filesystem::file_size(path);
        std::shared_ptr<State> state = OpenToReady(path, reaper);
        if (state->GetKind() == StateKind::Ready) {
            auto fresh = [&] {
                std::shared_ptr<State> twin = std::make_shared<IndexingState>(path, state->document);
                while (twin->GetKind() == StateKind::Indexing) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    AdvanceState(twin, reaper);
                }
                return twin;
            };
            const Index& index = static_cast<ReadyState&>(*state).GetIndex();
            auto findPath = [&](const std::string& path) { return bool(index.FindPath(path)); };
            QueryFigures(state, {&index}, fresh, findPath, "single_file_", out);
        }
        reaper.Dispose(std::move(state));
        reaper.Drain();
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}
} // namespace

int RunWorkspaceBench(const std::string& folder, GeneratedShape shape)
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
    // Then with the table over all files filled as each file comes in, as the viewer loads; and
    // that table built alone, after the loading, as a measure of what it adds.
    Reaper reaper;
    std::vector<double> direct;
    double tableSeconds = 0;
    for (size_t workers : {size_t(1), size_t(2)}) {
        std::atomic<bool> never{false};
        auto begin = BenchClock::now();
        std::vector<WorkspaceFile> loaded = LoadWorkspaceFiles(files, workers, never);
        direct.push_back(SecondsSince(begin));
        begin = BenchClock::now();
        auto made = std::make_shared<Workspace>(std::move(loaded));
        tableSeconds = SecondsSince(begin);
        reaper.Dispose(std::move(made));
        reaper.Drain();
        begin = BenchClock::now();
        reaper.Dispose(LoadWorkspace(files, workers, never));
        direct.push_back(SecondsSince(begin));
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
    out["load_2_workers_s"] = Round(direct[2], 4);
    out["load_with_table_1_worker_s"] = Round(direct[1], 4);
    out["load_with_table_2_workers_s"] = Round(direct[3], 4);
    out["table_alone_s"] = Round(tableSeconds, 4);
    out["open_to_ready_ratio"] = Round(together / oneAfterAnother, 3);
    if (workspace) {
        std::vector<const Index*> indexes;
        for (const WorkspaceFile& file : workspace->Files()) {
            if (file.index)
                indexes.push_back(file.index.get());
        }
        auto fresh = [&] { return std::make_shared<WorkspaceState>(folder, workspace); };
        auto findPath = [&](const std::string& path) { return workspace->FindPath(path).has_value(); };
        QueryFigures(state, indexes, fresh, findPath, "", out);
    }
    if (std::isnan(child[0])) {
        out["peak_rss_bytes"] = nullptr;
    } else {
        out["peak_rss_bytes"] = uint64_t(child[0]);
        out["peak_rss_ratio"] = Round(child[0] / double(totalBytes), 3);
    }
    const bool loaded = workspace != nullptr;
    workspace.reset();
    reaper.Dispose(std::move(state));
    reaper.Drain();
    SingleFileQueryFigures(totalBytes, shape, reaper, out);
    std::cout << out.dump() << std::endl;
    return loaded ? 0 : 1;
}
