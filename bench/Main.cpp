// tessaro-bench FILE|FOLDER, or a generated one; see the usage below. Opens a document or a folder
// the way the viewer does, asks the questions the viewer asks, and prints one JSON line of timings
// and sizes, next to the baselines of the same run.

#include "bench/CompareBench.h"
#include "bench/DocumentGenerator.h"
#include "bench/LookupRounds.h"
#include "bench/Measure.h"
#include "bench/TreeFrame.h"
#include "concurrency/Reaper.h"
#include "concurrency/ThreadStart.h"
#include "document/ArchiveReader.h"
#include "lifecycle/IndexingState.h"
#include "lifecycle/LoadingState.h"
#include "lifecycle/ReadyState.h"
#include "model/Workspace.h"
#include "platform/Platform.h"

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <thread>

namespace {
constexpr const char* kHitQuery = "SHORT-NAME";

struct Options
{
    std::string path;
    uint64_t generateBytes = 0;
    uint64_t seed = 1;
    GeneratedShape shape = GeneratedShape::Catalogue;
    uint64_t generateWorkspace = 0; // --generate-workspace MB: bytes in all
    int workspaceFiles = 100;       // --files N
    bool compare = false;           // --compare: only the figures of comparing two versions
};

bool IsZip(const std::string& path)
{
    size_t dot = path.rfind('.');
    return dot != std::string::npos && path.substr(dot + 1) == "zip";
}

// The baseline: the same bytes through pugixml alone, in a fresh process.
double RawParseSeconds(const std::string& path)
{
    // Stock pugixml: the engine's document memory is the engine's doing. Safe to switch here
    // because this fresh process has not allocated a document yet.
    pugi::set_memory_management_functions(std::malloc, std::free);
    auto start = BenchClock::now();
    pugi::xml_document document;
    bool ok;
    if (IsZip(path)) {
        ArchiveMember member = ExtractFirstArxmlMember(path);
        ok = member.data && document.load_buffer(member.data.get(), member.size).status == pugi::status_ok;
    } else {
        ok = document.load_file(Platform::PathFromUtf8(path).c_str()).status == pugi::status_ok;
    }
    return ok ? SecondsSince(start) : NAN;
}

// Asks `query` every millisecond until its answer is final; returns the seconds from the first call.
template <class Query> auto PollQuery(UiCallTimer& ui, const char* what, Query&& query, double& seconds)
{
    auto start = BenchClock::now();
    auto result = ui(what, query);
    while (result.status == ResultStatus::Pending || result.status == ResultStatus::Partial) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        result = ui(what, query);
    }
    seconds = SecondsSince(start);
    return result;
}

// A search whose first call installs the query (the one call allowed to block), then polls.
Result<std::vector<Ref>> TimedSearch(State& state, UiCallTimer& ui, const std::string& text, double& seconds,
                                     double& installSeconds)
{
    auto start = BenchClock::now();
    auto result = state.FullTextSearch(text, false);
    installSeconds = std::max(installSeconds, SecondsSince(start));
    while (result.status == ResultStatus::Pending || result.status == ResultStatus::Partial) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        result = ui("FullTextSearch", [&] { return state.FullTextSearch(text, false); });
    }
    seconds = SecondsSince(start);
    return result;
}

template <class Query>
double MeanCachedCallMicros(State& state, const std::vector<std::string>& keys, UiCallTimer& ui,
                            const char* what, Query&& query)
{
    if (keys.empty())
        return NAN;
    auto start = BenchClock::now();
    for (const std::string& key : keys)
        ui(what, [&] { return query(state, key); });
    return SecondsSince(start) / double(keys.size()) * 1e6;
}

void PollQueryQuietly(State& state, const std::string& text);

// In a fresh process: peak RSS once ready, then the replacement split into its parts.
std::vector<double> ChildOpenFigures(const std::string& path, const std::string& missingPath)
{
    Platform::ResetPeakMemory();
    UiCallTimer ui;
    std::shared_ptr<State> state = PollUntilSettled(LoadingState::Start(path), ui);
    if (state->GetKind() != StateKind::Ready)
        return {NAN, NAN, NAN};
    BenchReaper().Drain(); // the indexing state shares the index: it must be gone first
    double peak = double(Platform::PeakMemoryBytes());
    std::shared_ptr<const Workspace> keep = state->GetWorkspace();
    auto start = BenchClock::now();
    state->OpenFile(missingPath);
    state = state->Update();
    double withoutModel = SecondsSince(start);
    start = BenchClock::now();
    keep.reset();
    double modelFree = SecondsSince(start);
    PollUntilSettled(state, ui);
    return {peak, withoutModel, modelFree};
}

// The longest FullTextSearch call while the query changes every 30 ms, as when typing, each new
// query replacing a search that is still walking the document. The second figure is the longest
// of equally many calls that cannot wait for anything (a lock nobody else takes): what the
// machine's own scheduling adds to any call, as a baseline of the same run.
std::pair<double, double> KeystrokeStallSeconds(State& state)
{
    double longest = 0.0;
    double noise = 0.0;
    std::mutex uncontended;
    auto timed = [&](double& worst, auto&& call) {
        auto start = BenchClock::now();
        call();
        worst = std::max(worst, SecondsSince(start));
    };
    std::string typed = kGeneratedAbsentText;
    for (int key = 0; key < 40; ++key) {
        typed += char('a' + key % 26);
        auto deadline = BenchClock::now() + std::chrono::milliseconds(30);
        timed(longest, [&] { state.FullTextSearch(typed, false); });
        timed(noise, [&] { std::lock_guard<std::mutex> lock(uncontended); });
        while (BenchClock::now() < deadline) { // the frames between two keys ask again
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            timed(longest, [&] { state.FullTextSearch(typed, false); });
            timed(noise, [&] { std::lock_guard<std::mutex> lock(uncontended); });
        }
    }
    PollQueryQuietly(state, typed);
    return {longest, noise};
}

// The user-interface thread's time to replace a state that is still parsing the file, at five
// points of the parse: the median, and the longest (which includes whatever the machine's own
// scheduling adds to a single call).
std::pair<double, double> ReplaceLoadingSeconds(const std::string& path, const std::string& missingPath)
{
    std::vector<double> samples;
    for (int delayMs : {20, 50, 80, 110, 140}) {
        std::shared_ptr<State> state = LoadingState::Start(path);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        auto start = BenchClock::now();
        state->OpenFile(missingPath);
        AdvanceState(state, BenchReaper());
        double seconds = SecondsSince(start);
        if (state->GetKind() == StateKind::Loading)
            samples.push_back(seconds);
        UiCallTimer scaffolding;
        PollUntilSettled(state, scaffolding);
        BenchReaper().Drain();
    }
    if (samples.empty())
        return {NAN, NAN};
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.back()};
}

void PollQueryQuietly(State& state, const std::string& text)
{
    UiCallTimer ignored;
    double seconds = 0;
    PollQuery(
        ignored, "FullTextSearch", [&] { return state.FullTextSearch(text, false); }, seconds);
}

// A program of this build, looked for beside this one and then in its own build folder.
std::string SiblingProgram(const std::string& name, const std::string& buildFolder)
{
    const std::filesystem::path here = Platform::PathFromUtf8(Platform::GetExecutablePath()).parent_path();
    const std::string suffix = Platform::GetExecutableName().ends_with(".exe") ? ".exe" : "";
    for (const std::filesystem::path& candidate :
         {here / (name + suffix), here.parent_path() / buildFolder / (name + suffix)}) {
        std::error_code ignored;
        if (std::filesystem::is_regular_file(candidate, ignored))
            return Platform::Utf8FromPath(candidate);
    }
    return {};
}

// Median seconds and peak memory of three whole runs of each program, taken in turn so that both
// meet the same machine: the huge-page parse (the baseline of opening; timed as a whole process,
// where a forked child of this one parses several times slower) and `tessaro-query FILE stats`.
// Returns the baseline's seconds, NaN when a program is missing or fails.
double CompareWholeProcesses(const std::string& path, nlohmann::ordered_json& out)
{
    const std::string query = SiblingProgram("tessaro-query", "cli");
    const std::string baseline = SiblingProgram("tessaro-parse-baseline", "bench");
    if (query.empty() || baseline.empty())
        return NAN;
    std::vector<Platform::ProgramRun> ours, theirs;
    for (int round = 0; round < 3; ++round) {
        auto a = Platform::RunProgramMeasured({query, path, "stats"});
        auto b = Platform::RunProgramMeasured({baseline, path});
        if (!a || !b || a->exitCode != 0 || b->exitCode != 0)
            return NAN;
        ours.push_back(*a);
        theirs.push_back(*b);
    }
    auto median = [](std::vector<Platform::ProgramRun> runs, auto field) {
        std::sort(runs.begin(), runs.end(),
                  [&](const auto& x, const auto& y) { return x.*field < y.*field; });
        return runs[runs.size() / 2].*field;
    };
    const double querySeconds = median(ours, &Platform::ProgramRun::seconds);
    const double baselineSeconds = median(theirs, &Platform::ProgramRun::seconds);
    out["raw_parse_hugepages_s"] = Round(baselineSeconds, 4);
    out["raw_parse_hugepages_peak_rss_bytes"] = median(theirs, &Platform::ProgramRun::peakMemoryBytes);
    out["process_query_stats_s"] = Round(querySeconds, 4);
    out["process_query_stats_peak_rss_bytes"] = median(ours, &Platform::ProgramRun::peakMemoryBytes);
    out["process_ratio"] = Round(querySeconds / baselineSeconds, 3);
    return baselineSeconds;
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

std::shared_ptr<State> OpenToReady(const std::string& path)
{
    UiCallTimer ignored;
    return PollUntilSettled(LoadingState::Start(path), ignored);
}

// A folder's loading against its files opened one after another, each to ready in a fresh process
// as one file is measured; the loading alone on one worker and on two, then with the table over all
// files filled as each file comes in, as the viewer loads, and that table built alone afterwards.
void FolderLoadFigures(const std::string& folder, const std::vector<ListedFile>& readable,
                       nlohmann::ordered_json& out)
{
    std::vector<std::string> files;
    for (const ListedFile& listed : readable)
        files.push_back(listed.path);
    double oneAfterAnother = 0;
    size_t singleFailures = 0;
    for (const std::string& file : files) {
        std::vector<double> seconds = Platform::RunIsolated(
            [&] {
                auto start = BenchClock::now();
                std::shared_ptr<State> state = OpenToReady(file);
                double took = SecondsSince(start);
                BenchReaper().Drain();
                return std::vector<double>{state->GetKind() == StateKind::Ready ? took : NAN};
            },
            1);
        singleFailures += std::isnan(seconds[0]);
        oneAfterAnother += std::isnan(seconds[0]) ? 0 : seconds[0];
    }
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
        BenchReaper().Dispose(std::move(made));
        BenchReaper().Drain();
        begin = BenchClock::now();
        BenchReaper().Dispose(LoadWorkspace(readable, folder, workers, never));
        direct.push_back(SecondsSince(begin));
        BenchReaper().Drain();
    }
    out["single_file_failures"] = singleFailures;
    out["workers"] = MachineThreads();
    out["sum_single_open_to_ready_s"] = Round(oneAfterAnother, 4);
    out["load_1_worker_s"] = Round(direct[0], 4);
    out["load_2_workers_s"] = Round(direct[2], 4);
    out["load_with_table_1_worker_s"] = Round(direct[1], 4);
    out["load_with_table_2_workers_s"] = Round(direct[3], 4);
    out["table_alone_s"] = Round(tableSeconds, 4);
}

// One file or a folder, opened as the viewer opens it. A folder is also measured against its files
// opened one by one, and its lookups against those of one generated file of the same total size
// (`single_file_`) and of its own files joined into one (`joined_file_`).
int Run(const Options& options, const std::string& label)
{
    const std::string& path = options.path;
    const std::string missingPath = path + ".tessaro-bench-missing";
    const bool folder = std::filesystem::is_directory(Platform::PathFromUtf8(path));
    std::vector<ListedFile> readable;
    uint64_t totalBytes = 0;
    nlohmann::ordered_json out;
    if (folder) {
        const std::atomic<bool> never{false};
        for (const ListedFile& listed : ListWorkspaceFiles(path, never)) {
            if (listed.error.empty())
                readable.push_back(listed);
        }
        if (readable.empty()) {
            std::cerr << "No .arxml file or .zip archive in " << path << '\n';
            return 1;
        }
        for (const ListedFile& listed : readable)
            totalBytes += std::filesystem::file_size(Platform::PathFromUtf8(listed.path));
        out["workspace"] = label;
        out["files"] = readable.size();
        out["total_bytes"] = totalBytes;
    } else {
        totalBytes = std::filesystem::file_size(Platform::PathFromUtf8(path));
        out["file"] = label;
        out["file_bytes"] = totalBytes;
    }

    // Children first, while this process has no threads and a small heap.
    double hugePageSeconds = NAN;
    if (!folder) {
        out["raw_parse_s"] =
            Round(Platform::RunIsolated([&] { return std::vector<double>{RawParseSeconds(path)}; }, 1)[0], 4);
        hugePageSeconds = CompareWholeProcesses(path, out);
    }
    std::vector<double> child = Platform::RunIsolated([&] { return ChildOpenFigures(path, missingPath); }, 3);
    if (folder)
        FolderLoadFigures(path, readable, out);

    // A folder is opened three times: a busy spell of the machine can make one open take twice as
    // long, where the sum it is compared with adds up every file's own open. The last state is asked.
    UiCallTimer ui;
    std::vector<double> opens;
    std::shared_ptr<State> state;
    double loaded = 0.0;
    for (int open = 0; open < (folder ? 3 : 1); ++open) {
        if (state)
            BenchReaper().Dispose(std::move(state));
        BenchReaper().Drain();
        loaded = 0.0;
        auto start = BenchClock::now();
        state = PollUntilSettled(ui("LoadingState", [&] { return LoadingState::Start(path); }), ui, &loaded);
        opens.push_back(SecondsSince(start));
    }
    if (state->GetKind() != StateKind::Ready) {
        std::cout << nlohmann::json{{"error", state->GetErrorMessage()}}.dump() << std::endl;
        return 1;
    }
    const double openToReady = Median(opens);
    out["open_to_ready_s"] = Round(openToReady, 4);
    if (folder) {
        out["files_loaded"] = state->GetWorkspace()->LoadedCount();
        out["open_to_ready_ratio"] = Round(openToReady / out["sum_single_open_to_ready_s"].get<double>(), 3);
    } else {
        out["open_to_ready_vs_hugepages"] = Round(openToReady / hugePageSeconds, 3);
    }
    out["open_load_s"] = Round(loaded, 4);
    out["peak_rss_bytes"] = std::isnan(child[0]) ? nlohmann::json() : nlohmann::json(uint64_t(child[0]));
    if (folder)
        out["peak_rss_ratio"] = Round(child[0] / double(totalBytes), 3);

    const Workspace& workspace = *state->GetWorkspace();
    out["nodes"] = static_cast<ReadyState*>(state.get())->GetNodeCount();
    size_t named = 0, shortNames = 0, referring = 0, referenced = 0;
    for (const WorkspaceFile& file : workspace.Files()) {
        if (file.index) {
            named += file.index->PathCount();
            shortNames += file.index->ShortNameCount();
            referring += file.index->ReferringNodeCount();
            referenced += file.index->ReferenceTextCount();
        }
    }
    out["named_elements"] = named;
    out["short_names"] = shortNames;
    out["reference_texts"] = referring;
    out["referenced_keys"] = referenced;

    std::vector<std::unique_ptr<QuerySubject>> subjects;
    subjects.push_back(std::make_unique<QuerySubject>("", state, options.seed));
    const std::string generated = BenchFilePath("single");
    const std::string joined = BenchFilePath("joined");
    if (folder) {
        std::vector<std::string> files;
        for (const ListedFile& listed : readable)
            files.push_back(listed.path);
        try {
            out["single_file_bytes"] = WriteGeneratedArxmlFile(generated, totalBytes, 1, options.shape).bytes;
            WriteJoinedFile(files, joined);
            out["joined_file_bytes"] = std::filesystem::file_size(joined);
        } catch (const std::exception& e) {
            std::cerr << e.what() << '\n';
        }
        for (const auto& [file, prefix] : {std::pair{generated, "single_file_"}, {joined, "joined_file_"}}) {
            std::shared_ptr<State> opened = OpenToReady(file);
            if (opened->GetKind() == StateKind::Ready)
                subjects.push_back(std::make_unique<QuerySubject>(prefix, opened, options.seed));
        }
    }
    // Drawing the keys freed millions of small strings. glibc merges such blocks on the next large
    // request, which takes milliseconds and would otherwise fall into the first timed call.
    void* volatile merge = std::malloc(size_t(1) << 20);
    std::free(merge);
    std::vector<QuerySubject*> timed;
    for (auto& subject : subjects)
        timed.push_back(subject.get());
    TimeLookupRounds(timed);
    for (auto& subject : subjects)
        WriteLookupFigures(*subject, out);
    const QuerySubject& own = *subjects[0];
    auto findRef = [](State& s, const std::string& key) { return s.FindRef(key); };
    out["find_ref_cached_us"] = Round(MeanCachedCallMicros(*state, own.paths, ui, "FindRef", findRef), 3);
    for (size_t i = 1; i < subjects.size(); ++i)
        BenchReaper().Dispose(std::move(subjects[i]->ready));
    BenchReaper().Drain();
    std::error_code ignored;
    std::filesystem::remove(generated, ignored);
    std::filesystem::remove(joined, ignored);

    double seconds = NAN;
    if (!own.hottest.empty()) {
        auto refs = PollQuery(
            ui, "FindRefsTo", [&] { return state->FindRefsTo(own.hottest); }, seconds);
        out["refs_to_max_s"] = Round(seconds, 4);
        out["refs_to_max_count"] = refs.status == ResultStatus::Done ? refs.GetValue().size() : 0;
    }
    // The walk that answers while a file is still indexing; a folder is answered once loaded.
    if (!folder && !own.deepest.empty()) {
        auto indexing = std::make_shared<IndexingState>(path, state->document);
        auto found = PollQuery(
            ui, "FindRef(indexing)", [&] { return indexing->FindRef(own.deepest); }, seconds);
        out["resolve_walk_s"] = Round(seconds, 4);
        out["resolve_walk_depth"] = own.deepestDepth;
        out["resolve_walk_ok"] = found.status == ResultStatus::Done && found.GetValue()->path == own.deepest;
        // Stop its build before letting it go, as opening another file would.
        indexing->OpenFile(missingPath);
        UiCallTimer scaffolding;
        PollUntilSettled(indexing->Update(), scaffolding);
    }
    subjects.clear();

    double install = 0.0;
    auto miss = TimedSearch(*state, ui, kGeneratedAbsentText, seconds, install);
    out["search_miss_s"] = Round(seconds, 4);
    out["search_miss_hits"] = miss.GetValue().size();
    auto hits = TimedSearch(*state, ui, kHitQuery, seconds, install);
    out["search_hit100_s"] = Round(seconds, 4);
    out["search_hit100_hits"] = hits.GetValue().size();
    out["search_install_s"] = Round(install, 4);
    auto [keystroke, keystrokeNoise] = KeystrokeStallSeconds(*state);
    out["search_keystroke_stall_s"] = Round(keystroke, 5);
    out["search_keystroke_noise_s"] = Round(keystrokeNoise, 5);

    out["max_ui_call_s"] = Round(ui.longest, 5);
    out["max_ui_call"] = ui.longestWhat;

    // Drop every handle into the model first, so that the replacement frees all of it.
    miss = {};
    hits = {};
    auto start = BenchClock::now();
    state->OpenFile(missingPath);
    AdvanceState(state, BenchReaper());
    out["replace_stall_s"] = Round(SecondsSince(start), 5);
    // What the same replacement costs when the old state dies on the polling thread.
    out["replace_stall_without_reaper_s"] = Round(child[1] + child[2], 4);
    UiCallTimer scaffolding;
    PollUntilSettled(state, scaffolding);
    BenchReaper().Drain();
    auto [replaceLoading, replaceLoadingLongest] = ReplaceLoadingSeconds(path, missingPath);
    out["replace_loading_stall_s"] = Round(replaceLoading, 5);
    out["replace_loading_stall_max_s"] = Round(replaceLoadingLongest, 5);
    for (const auto& [key, value] : TreeFrameFigures(path))
        out[key] = Round(value, 4);
    std::cout << out.dump() << std::endl;
    return 0;
}

// Comparing the document with an edited copy and with itself, instead of the figures of one document.
int RunCompare(const Options& options, const std::string& label)
{
    nlohmann::ordered_json out;
    out["file"] = label;
    out["file_bytes"] = std::filesystem::file_size(options.path);
    for (const auto& [key, value] : CompareFigures(options.path))
        out[key] = Round(value, 4);
    std::cout << out.dump() << std::endl;
    return out.contains("compare_failed") ? 1 : 0;
}

// 0 (which asks for the usage text) for anything but a positive number of megabytes.
uint64_t ParseMegabytes(const std::string& text)
{
    char* end = nullptr;
    double megabytes = std::strtod(text.c_str(), &end);
    bool whole = end != text.c_str() && *end == '\0';
    return whole && megabytes > 0 && megabytes < 1e7 ? uint64_t(megabytes * 1e6) : 0;
}

bool ParseSeed(const std::string& text, uint64_t& seed)
{
    char* end = nullptr;
    seed = std::strtoull(text.c_str(), &end, 10);
    return end != text.c_str() && *end == '\0' && text[0] != '-';
}

int Usage()
{
    std::cerr
        << "usage: tessaro-bench FILE|FOLDER | tessaro-bench --generate MB [--seed N] [--shape "
           "catalogue|ecuc]\n"
           "       tessaro-bench --compare FILE | tessaro-bench --compare --generate MB [--seed N] [--shape "
           "...]\n"
           "       tessaro-bench --workspace FOLDER [--shape catalogue|ecuc]\n"
           "       tessaro-bench --generate-workspace MB [--files N] [--seed N] [--shape catalogue|ecuc]\n";
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--generate" && i + 1 < args.size()) {
            options.generateBytes = ParseMegabytes(args[++i]);
            if (options.generateBytes == 0)
                return Usage();
        } else if (args[i] == "--compare") {
            options.compare = true;
        } else if (args[i] == "--workspace" && i + 1 < args.size() && options.path.empty()) {
            options.path = args[++i]; // the same as naming the folder alone
        } else if (args[i] == "--generate-workspace" && i + 1 < args.size()) {
            options.generateWorkspace = ParseMegabytes(args[++i]);
            if (options.generateWorkspace == 0)
                return Usage();
        } else if (args[i] == "--files" && i + 1 < args.size()) {
            uint64_t files = 0;
            if (!ParseSeed(args[++i], files) || files < 2 || files > 100000)
                return Usage();
            options.workspaceFiles = int(files);
        } else if (args[i] == "--seed" && i + 1 < args.size()) {
            if (!ParseSeed(args[++i], options.seed))
                return Usage();
        } else if (args[i] == "--shape" && i + 1 < args.size() &&
                   (args[i + 1] == "ecuc" || args[i + 1] == "catalogue"))
            options.shape = args[++i] == "ecuc" ? GeneratedShape::Ecuc : GeneratedShape::Catalogue;
        else if (options.path.empty() && args[i].rfind("--", 0) != 0)
            options.path = args[i];
        else
            return Usage();
    }
    const bool generatedWorkspace = options.generateWorkspace != 0;
    const bool generated = options.generateBytes != 0 || generatedWorkspace;
    if (options.path.empty() != generated || (options.generateBytes && generatedWorkspace) ||
        (options.compare && (generatedWorkspace || std::filesystem::is_directory(options.path))))
        return Usage();

    // A generated document or workspace is written to a temporary place, removed afterwards.
    std::string label = options.path;
    if (generated) {
        label = generatedWorkspace                      ? "generated-workspace"
                : options.shape == GeneratedShape::Ecuc ? "generated-ecuc"
                                                        : "generated";
        options.path = (std::filesystem::temp_directory_path() /
                        ("tessaro-bench-" + std::to_string(Platform::ProcessId()) +
                         (generatedWorkspace ? "" : ".arxml")))
                           .string();
        try {
            if (generatedWorkspace) {
                std::filesystem::create_directories(options.path);
                WriteGeneratedWorkspace(options.path, options.generateWorkspace, options.workspaceFiles,
                                        options.seed);
            } else {
                WriteGeneratedArxmlFile(options.path, options.generateBytes, options.seed, options.shape);
            }
        } catch (const std::exception& e) {
            std::cerr << e.what() << '\n';
            std::filesystem::remove_all(options.path);
            return 1;
        }
    } else if (!std::filesystem::exists(options.path)) {
        std::cerr << "Cannot read " << options.path << '\n';
        return 1;
    }

    int code = 1;
    try {
        code = options.compare ? RunCompare(options, label) : Run(options, label);
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
    }
    if (generated)
        std::filesystem::remove_all(options.path);
    return code;
}
