// tessaro-bench [--compare] FILE | tessaro-bench [--compare] --generate MB [--seed N] [--shape
// catalogue|ecuc] Opens a document the way the viewer does, asks the questions the viewer asks, and prints
// one JSON line of timings and sizes, next to the baseline (a bare pugixml parse) of the same run.

#include "bench/CompareBench.h"
#include "bench/DocumentGenerator.h"
#include "bench/Measure.h"
#include "bench/TreeFrame.h"
#include "bench/WorkspaceBench.h"
#include "concurrency/Reaper.h"
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
    std::string workspace;          // --workspace DIR
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
    std::shared_ptr<State> state = PollUntilSettled(std::make_shared<LoadingState>(path), ui);
    if (state->GetKind() != StateKind::Ready)
        return {};
    BenchReaper().Drain(); // the indexing state shares the index: it must be gone first
    double peak = double(Platform::PeakMemoryBytes());
    std::shared_ptr<pugi::xml_document> keep = state->document;
    auto start = BenchClock::now();
    state->OpenFile(missingPath);
    state = state->Update();
    double withoutDocument = SecondsSince(start);
    start = BenchClock::now();
    keep.reset();
    double documentFree = SecondsSince(start);
    PollUntilSettled(state, ui);
    return {peak, withoutDocument, documentFree};
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
        std::shared_ptr<State> state = std::make_shared<LoadingState>(path);
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

int Run(const Options& options)
{
    const std::string& path = options.path;
    const std::string missingPath = path + ".tessaro-bench-missing";
    nlohmann::ordered_json out;
    out["file"] = !options.generateBytes                  ? path
                  : options.shape == GeneratedShape::Ecuc ? "generated-ecuc"
                                                          : "generated";
    out["file_bytes"] = std::filesystem::file_size(path);

    // Children first, while this process has no threads and a small heap.
    out["raw_parse_s"] =
        Round(Platform::RunIsolated([&] { return std::vector<double>{RawParseSeconds(path)}; }, 1)[0], 4);
    const double hugePageSeconds = CompareWholeProcesses(path, out);
    std::vector<double> child = Platform::RunIsolated([&] { return ChildOpenFigures(path, missingPath); }, 3);

    UiCallTimer ui;
    auto start = BenchClock::now();
    std::shared_ptr<State> state = ui("LoadingState", [&] { return std::make_shared<LoadingState>(path); });
    double loaded = 0.0;
    state = PollUntilSettled(state, ui, &loaded);
    double openToReady = SecondsSince(start);
    if (state->GetKind() != StateKind::Ready) {
        std::cout << nlohmann::json{{"error", state->GetErrorMessage()}}.dump() << std::endl;
        return 1;
    }
    out["open_to_ready_s"] = Round(openToReady, 4);
    out["open_to_ready_vs_hugepages"] = Round(openToReady / hugePageSeconds, 3);
    out["open_load_s"] = Round(loaded, 4);
    out["peak_rss_bytes"] = std::isnan(child[0]) ? nlohmann::json() : nlohmann::json(uint64_t(child[0]));

    auto* ready = static_cast<ReadyState*>(state.get());
    const Index& index = *ready->GetWorkspace()->Files()[0].index;
    std::string hottest;
    size_t hottestCount = 0;
    std::vector<std::string> referKeys;
    index.ForEachReferenceText([&](std::string_view text, std::span<const pugi::xml_node> nodes) {
        referKeys.emplace_back(text);
        if (nodes.size() > hottestCount) {
            hottestCount = nodes.size();
            hottest = text;
        }
    });
    std::string deepest;
    size_t deepestDepth = 0;
    std::vector<std::string> pathKeys;
    index.ForEachPath([&](std::string_view path, pugi::xml_node) {
        pathKeys.emplace_back(path);
        if (size_t depth = PathDepth(path); depth > deepestDepth) {
            deepestDepth = depth;
            deepest = path;
        }
    });
    std::vector<std::string> nameKeys;
    for (const std::string& path : pathKeys) {
        std::string name = path.substr(path.rfind('/') + 1);
        if (index.FindShortName(name))
            nameKeys.push_back(std::move(name));
    }
    std::sort(nameKeys.begin(), nameKeys.end());
    nameKeys.erase(std::unique(nameKeys.begin(), nameKeys.end()), nameKeys.end());
    out["nodes"] = ready->GetNodeCount();
    out["named_elements"] = index.PathCount();
    out["short_names"] = index.ShortNameCount();
    out["reference_texts"] = index.ReferringNodeCount();
    out["referenced_keys"] = index.ReferenceTextCount();

    pathKeys = SampleKeys(std::move(pathKeys), kQueryKeys, options.seed);
    nameKeys = SampleKeys(std::move(nameKeys), kQueryKeys, options.seed + 1);
    referKeys = SampleKeys(std::move(referKeys), kQueryKeys, options.seed + 2);
    // Drawing the keys freed millions of small strings. glibc merges such blocks on the next large
    // request, which takes milliseconds and would otherwise fall into the first timed call.
    void* volatile merge = std::malloc(size_t(1) << 20);
    std::free(merge);
    auto findRef = [](State& s, const std::string& key) { return s.FindRef(key); };
    auto findShortName = [](State& s, const std::string& key) { return s.FindShortName(key); };
    auto countRefsTo = [](State& s, const std::string& key) { return s.CountRefsTo(key); };
    auto freshState = [&] {
        UiCallTimer scaffolding;
        return PollUntilSettled(std::make_shared<IndexingState>(path, state->document), scaffolding);
    };
    out["find_ref_us"] = Round(MeanFirstCallMicros(state, pathKeys, ui, "FindRef", findRef, freshState), 3);
    out["find_short_name_us"] =
        Round(MeanFirstCallMicros(state, nameKeys, ui, "FindShortName", findShortName, freshState), 3);
    out["count_refs_to_us"] =
        Round(MeanFirstCallMicros(state, referKeys, ui, "CountRefsTo", countRefsTo, freshState), 3);
    // A second state's maps are as cold as the first's were: the floor under every key lookup.
    UiCallTimer floorTimer;
    auto twin = PollUntilSettled(std::make_shared<IndexingState>(path, state->document), floorTimer);
    const Index& twinIndex = *twin->GetWorkspace()->Files()[0].index;
    out["map_find_floor_us"] = Round(
        MeanPathFindMicros(pathKeys, [&](const std::string& key) { return twinIndex.FindPath(key); }), 3);
    twin.reset();
    out["find_ref_cached_us"] = Round(MeanCachedCallMicros(*state, pathKeys, ui, "FindRef", findRef), 3);

    double seconds = NAN;
    if (!hottest.empty()) {
        std::string key = hottest;
        auto refs = PollQuery(
            ui, "FindRefsTo", [&] { return state->FindRefsTo(key); }, seconds);
        out["refs_to_max_s"] = Round(seconds, 4);
        out["refs_to_max_count"] = refs.status == ResultStatus::Done ? refs.GetValue().size() : 0;
    }

    if (!deepest.empty()) {
        std::string key = deepest;
        auto indexing = std::make_shared<IndexingState>(path, state->document);
        auto found = PollQuery(
            ui, "FindRef(indexing)", [&] { return indexing->FindRef(key); }, seconds);
        out["resolve_walk_s"] = Round(seconds, 4);
        out["resolve_walk_depth"] = deepestDepth;
        out["resolve_walk_ok"] = found.status == ResultStatus::Done && found.GetValue()->path == key;
        // Stop its build before letting it go, as opening another file would.
        indexing->OpenFile(missingPath);
        UiCallTimer scaffolding;
        PollUntilSettled(indexing->Update(), scaffolding);
    }

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

    // Drop every handle into the document first, so that the replacement frees all of it.
    miss = {};
    hits = {};
    start = BenchClock::now();
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
int RunCompare(const Options& options)
{
    nlohmann::ordered_json out;
    out["file"] = !options.generateBytes                  ? options.path
                  : options.shape == GeneratedShape::Ecuc ? "generated-ecuc"
                                                          : "generated";
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

int Usage();

// --workspace DIR, or a generated workspace in a temporary folder that is removed afterwards.
int WorkspaceMain(const Options& options)
{
    if (!options.path.empty() || options.generateBytes != 0 ||
        options.workspace.empty() == (options.generateWorkspace == 0))
        return Usage();
    if (!options.workspace.empty())
        return RunWorkspaceBench(options.workspace, options.shape);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tessaro-bench-workspace-" + std::to_string(getpid()));
    int code = 1;
    try {
        std::filesystem::create_directories(folder);
        WriteGeneratedWorkspace(folder.string(), options.generateWorkspace, options.workspaceFiles,
                                options.seed);
        code = RunWorkspaceBench(folder.string(), options.shape);
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return code;
}

int Usage()
{
    std::cerr
        << "usage: tessaro-bench FILE | tessaro-bench --generate MB [--seed N] [--shape catalogue|ecuc]\n"
           "       tessaro-bench --compare FILE | tessaro-bench --compare --generate MB [--seed N] [--shape "
           "...]\n"
           "       tessaro-bench --workspace DIR [--shape catalogue|ecuc]\n"
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
        } else if (args[i] == "--workspace" && i + 1 < args.size()) {
            options.workspace = args[++i];
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
    if (!options.workspace.empty() || options.generateWorkspace != 0)
        return options.compare ? Usage() : WorkspaceMain(options);
    if (options.path.empty() == (options.generateBytes == 0))
        return Usage();

    bool generated = options.generateBytes != 0;
    if (generated) {
        options.path = (std::filesystem::temp_directory_path() /
                        ("tessaro-bench-" + std::to_string(Platform::ProcessId()) + ".arxml"))
                           .string();
        try {
            WriteGeneratedArxmlFile(options.path, options.generateBytes, options.seed, options.shape);
        } catch (const std::exception& e) {
            std::cerr << e.what() << '\n';
            std::filesystem::remove(options.path);
            return 1;
        }
    } else if (!std::filesystem::is_regular_file(options.path)) {
        std::cerr << "Cannot read " << options.path << '\n';
        return 1;
    }

    int code = 1;
    try {
        code = options.compare ? RunCompare(options) : Run(options);
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
    }
    if (generated)
        std::filesystem::remove(options.path);
    return code;
}
