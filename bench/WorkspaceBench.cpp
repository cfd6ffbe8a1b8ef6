#include "bench/WorkspaceBench.h"

#include "bench/DocumentGenerator.h"
#include "bench/Measure.h"
#include "concurrency/Reaper.h"
#include "concurrency/ThreadStart.h"
#include "lifecycle/LoadingState.h"
#include "lifecycle/ReadyState.h"
#include "model/IndexBuilder.h"
#include "model/Workspace.h"
#include "platform/Platform.h"
#include "query/FullTextSearchService.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <thread>

namespace {
std::shared_ptr<State> OpenToReady(const std::string& path)
{
    UiCallTimer ignored;
    return PollUntilSettled(LoadingState::Start(path), ignored);
}

void SortUnique(std::vector<std::string>& keys)
{
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
}

// Rounds of lookups per model. The models take turns, round by round, so that a busy spell of the
// machine falls on all of them alike; each figure is the median of its rounds.
constexpr size_t kQueryRounds = 7;

// One model whose lookups the user-interface thread makes: its ready state, a maker of equal states
// with empty caches, its bare path search, and the keys drawn from all its indexes.
struct QuerySubject
{
    std::string prefix; // of its figures
    std::shared_ptr<State> ready;
    std::function<std::shared_ptr<State>()> fresh;
    std::function<bool(const std::string&)> findPath;
    std::vector<const Index*> indexes;
    std::vector<std::string> paths, names, texts;
    std::vector<double> findRef, findShortName, countRefsTo, pathFind; // one per round
};

// Up to kQueryKeys distinct paths, short names and reference texts of all the indexes.
void DrawKeys(QuerySubject& subject)
{
    for (const Index* index : subject.indexes) {
        index->ForEachPath([&](std::string_view path, pugi::xml_node) {
            subject.paths.emplace_back(path);
            subject.names.emplace_back(path.substr(path.rfind('/') + 1));
        });
        index->ForEachReferenceText([&](std::string_view text, std::span<const pugi::xml_node>) {
            subject.texts.emplace_back(text);
        });
    }
    for (auto* keys : {&subject.paths, &subject.names, &subject.texts})
        SortUnique(*keys);
    subject.paths = SampleKeys(std::move(subject.paths), kQueryKeys, 1);
    subject.names = SampleKeys(std::move(subject.names), kQueryKeys, 2);
    subject.texts = SampleKeys(std::move(subject.texts), kQueryKeys, 3);
}

// Reads a buffer larger than the processor's last-level cache (half a gigabyte on the machines we
// measure on), so that every round starts as cold as the others: a file's fresh state is indexed
// just before its round and would otherwise be timed with its whole model in the cache, a
// workspace's fresh state shares the tables it has and walks nothing.
class CacheSweep
{
public:
    void operator()()
    {
        unsigned sum = 0;
        for (size_t i = 0; i < bytes.size(); i += 64)
            sum += bytes[i];
        sink = sum;
    }

private:
    std::vector<unsigned char> bytes = std::vector<unsigned char>(size_t(1) << 30, 1);
    volatile unsigned sink = 0;
};

// One round, timed as `tessaro-bench FILE` times the lookups: the first call of each key on a
// state with empty caches (the ready state itself in the first round), no answer from a cache.
void TimeRound(QuerySubject& subject, size_t round, CacheSweep& sweep)
{
    std::shared_ptr<State> asked = round == 0 ? subject.ready : subject.fresh();
    sweep();
    UiCallTimer ui;
    auto findRef = [](State& s, const std::string& key) { return s.FindRef(key); };
    auto findShortName = [](State& s, const std::string& key) { return s.FindShortName(key); };
    auto countRefsTo = [](State& s, const std::string& key) { return s.CountRefsTo(key); };
    subject.findRef.push_back(
        MeanFirstCallMicros(asked, subject.paths, ui, "FindRef", findRef, subject.fresh));
    subject.findShortName.push_back(
        MeanFirstCallMicros(asked, subject.names, ui, "FindShortName", findShortName, subject.fresh));
    subject.countRefsTo.push_back(
        MeanFirstCallMicros(asked, subject.texts, ui, "CountRefsTo", countRefsTo, subject.fresh));
    // The bare path search under FindRef, without the Ref it makes and the cache it fills.
    subject.pathFind.push_back(MeanPathFindMicros(subject.paths, subject.findPath));
}

void WriteQueryFigures(const QuerySubject& subject, nlohmann::ordered_json& out)
{
    out[subject.prefix + "find_ref_us"] = Round(Median(subject.findRef), 3);
    out[subject.prefix + "find_short_name_us"] = Round(Median(subject.findShortName), 3);
    out[subject.prefix + "count_refs_to_us"] = Round(Median(subject.countRefsTo), 3);
    out[subject.prefix + "path_find_floor_us"] = Round(Median(subject.pathFind), 3);
    // The same search made by asking every index in turn until one has the path.
    if (subject.indexes.size() > 1) {
        auto askEveryFile = [&](const std::string& path) {
            return std::any_of(subject.indexes.begin(), subject.indexes.end(),
                               [&](const Index* index) { return bool(index->FindPath(path)); });
        };
        out[subject.prefix + "path_find_file_by_file_us"] =
            Round(MeanPathFindMicros(subject.paths, askEveryFile), 3);
    }
}

// One document opened on its own, as the single-file program opens it; null when it fails.
std::unique_ptr<QuerySubject> FileSubject(const std::string& path, const std::string& prefix,
                                          nlohmann::ordered_json& out)
{
    out[prefix + "bytes"] = std::filesystem::file_size(path);
    auto subject = std::make_unique<QuerySubject>();
    subject->prefix = prefix;
    subject->ready = OpenToReady(path);
    if (subject->ready->GetKind() != StateKind::Ready)
        return nullptr;
    // Later rounds ask states with empty caches over one more index of the same document, built
    // here as the opening built the first, once: like a workspace's fresh states, which share the
    // workspace's tables, they find their index built well before they are timed. (Indexed anew for
    // every round, the file was timed just after building half a gigabyte of tables and freeing
    // those of the round before, and a workspace timed in the same round came out up to a fifth
    // slower than when no index had just been built.)
    std::shared_ptr<pugi::xml_document> document = subject->ready->document;
    auto twinIndex = std::make_shared<Index>();
    uint64_t nodeCount = 0;
    std::atomic<bool> never{false};
    BuildIndexInto(*twinIndex, nodeCount, *document, "", never);
    subject->fresh = [path, document, twinIndex, nodeCount] {
        std::vector<WorkspaceFile> only{{path, 0, document, twinIndex, nodeCount, ""}};
        return std::make_shared<ReadyState>(path, std::make_shared<Workspace>(std::move(only)));
    };
    const Index& index = *subject->ready->GetWorkspace()->Files()[0].index;
    subject->indexes = {&index};
    subject->findPath = [&index](const std::string& key) { return bool(index.FindPath(key)); };
    DrawKeys(*subject);
    return subject;
}

std::string BenchFilePath(const char* kind)
{
    return (std::filesystem::temp_directory_path() /
            ("tessaro-bench-" + std::string(kind) + "-" + std::to_string(Platform::ProcessId()) + ".arxml"))
        .string();
}

// The workspace's own model as one document: the top-level packages of every file, in workspace
// order, under one AR-PACKAGES. Its lookups ask the very keys of the very elements the workspace
// holds, where a generated document of the same size has keys of its own kind and length.
void WriteJoinedFile(const std::vector<std::string>& files, const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<AUTOSAR>\n<AR-PACKAGES>\n";
    for (const std::string& file : files) {
        std::shared_ptr<pugi::xml_document> document;
        try {
            document = ReadDocument(file);
        } catch (const std::exception&) {
            continue; // a file the workspace could not load either
        }
        for (pugi::xml_node package : document->document_element().child("AR-PACKAGES").children())
            package.print(out, "  ", pugi::format_default, pugi::encoding_utf8, 1);
    }
    out << "</AR-PACKAGES>\n</AUTOSAR>\n";
    if (!out)
        throw std::runtime_error("Could not write " + path);
}
} // namespace

int RunWorkspaceBench(const std::string& folder, GeneratedShape shape)
{
    const std::atomic<bool> never{false};
    std::vector<std::string> files;
    std::vector<ListedFile> readable;
    for (const ListedFile& listed : ListWorkspaceFiles(folder, never)) {
        if (listed.error.empty()) {
            files.push_back(listed.path);
            readable.push_back(listed);
        }
    }
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
            std::shared_ptr<State> state = OpenToReady(folder);
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
                std::shared_ptr<State> state = OpenToReady(file);
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
        reaper.Dispose(LoadWorkspace(readable, folder, workers, never));
        direct.push_back(SecondsSince(begin));
        reaper.Drain();
    }

    // The folder opened as the viewer opens it, three times: a busy spell of the machine can make
    // one open take twice as long, where the sum it is compared with adds up every file's own
    // open. The median is reported; the last state is the one asked below.
    std::vector<double> opens;
    std::shared_ptr<State> state;
    for (int open = 0; open < 3; ++open) {
        if (state) {
            reaper.Dispose(std::move(state));
            reaper.Drain();
        }
        auto start = BenchClock::now();
        state = OpenToReady(folder);
        opens.push_back(SecondsSince(start));
    }
    const double together = Median(opens);
    std::shared_ptr<const Workspace> workspace = state->GetWorkspace();

    nlohmann::ordered_json out;
    out["workspace"] = folder;
    out["files"] = files.size();
    out["files_loaded"] = workspace ? workspace->LoadedCount() : 0;
    out["single_file_failures"] = singleFailures;
    out["total_bytes"] = totalBytes;
    out["workers"] = MachineThreads();
    out["sum_single_open_to_ready_s"] = Round(oneAfterAnother, 4);
    out["open_to_ready_s"] = Round(together, 4);
    out["load_1_worker_s"] = Round(direct[0], 4);
    out["load_2_workers_s"] = Round(direct[2], 4);
    out["load_with_table_1_worker_s"] = Round(direct[1], 4);
    out["load_with_table_2_workers_s"] = Round(direct[3], 4);
    out["table_alone_s"] = Round(tableSeconds, 4);
    out["open_to_ready_ratio"] = Round(together / oneAfterAnother, 3);
    // The lookups of the workspace against those of one file as large as the whole workspace:
    // generated (`single_file_`), and the workspace's own files joined into one (`joined_file_`).
    std::vector<std::unique_ptr<QuerySubject>> subjects;
    if (workspace) {
        auto subject = std::make_unique<QuerySubject>();
        subject->ready = state;
        subject->fresh = [&] { return std::make_shared<ReadyState>(folder, workspace); };
        subject->findPath = [&](const std::string& path) { return workspace->FindPath(path).has_value(); };
        for (const WorkspaceFile& file : workspace->Files()) {
            if (file.index)
                subject->indexes.push_back(file.index.get());
        }
        DrawKeys(*subject);
        subjects.push_back(std::move(subject));
    }
    const std::string generated = BenchFilePath("single");
    const std::string joined = BenchFilePath("joined");
    try {
        WriteGeneratedArxmlFile(generated, totalBytes, 1, shape);
        subjects.push_back(FileSubject(generated, "single_file_", out));
        WriteJoinedFile(files, joined);
        subjects.push_back(FileSubject(joined, "joined_file_", out));
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
    }
    std::erase(subjects, nullptr);
    CacheSweep sweep;
    // Every other round in the opposite order: a round goes differently when it comes first.
    for (size_t round = 0; round < kQueryRounds; ++round) {
        for (size_t turn = 0; turn < subjects.size(); ++turn)
            TimeRound(*subjects[round % 2 ? subjects.size() - 1 - turn : turn], round, sweep);
    }
    for (auto& subject : subjects)
        WriteQueryFigures(*subject, out);
    if (std::isnan(child[0])) {
        out["peak_rss_bytes"] = nullptr;
    } else {
        out["peak_rss_bytes"] = uint64_t(child[0]);
        out["peak_rss_ratio"] = Round(child[0] / double(totalBytes), 3);
    }
    const bool loaded = workspace != nullptr;
    for (auto& subject : subjects)
        reaper.Dispose(std::move(subject->ready));
    subjects.clear();
    workspace.reset();
    reaper.Dispose(std::move(state));
    reaper.Drain();
    std::error_code ignored;
    std::filesystem::remove(generated, ignored);
    std::filesystem::remove(joined, ignored);
    std::cout << out.dump() << std::endl;
    return loaded ? 0 : 1;
}
