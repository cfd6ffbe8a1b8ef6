#include "model/Workspace.h"

#include "concurrency/ThreadStart.h"
#include "document/DocumentParser.h"
#include "document/ReadDocument.h"
#include "model/IndexBuilder.h"
#include "model/ReferenceBases.h"
#include "platform/Platform.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <utility>

namespace {
constexpr std::string_view kTargetMissing = "target missing";

std::vector<const Index*> IndexesOf(const std::vector<WorkspaceFile>& files)
{
    std::vector<const Index*> indexes;
    indexes.reserve(files.size());
    for (const WorkspaceFile& file : files)
        indexes.push_back(file.index.get());
    return indexes;
}
} // namespace

Workspace::Workspace(std::vector<WorkspaceFile> loaded, std::string folder)
    : Workspace(std::move(loaded), WorkspaceLookup(), std::move(folder))
{
    if (!single)
        lookup = WorkspaceLookup(IndexesOf(files));
}

Workspace::Workspace(std::vector<WorkspaceFile> loaded, WorkspaceLookup filled, std::string folder)
    : files(std::move(loaded)), folder(std::move(folder)), lookup(std::move(filled))
{
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i].document)
            fileOfDocument.emplace(files[i].document->internal_object(), i);
        if (files[i].index)
            ++loadedCount;
    }
    if (files.size() == 1 && files[0].index) {
        single = files[0].index.get();
        lookup = WorkspaceLookup(); // a folder of one file answers as the file does
    }
}

std::string Workspace::ShownPath(size_t file) const
{
    const std::filesystem::path path(files[file].path);
    if (folder.empty())
        return path.filename().string();
    std::filesystem::path relative = path.lexically_relative(folder);
    return relative.empty() ? path.string() : relative.string();
}

std::optional<Workspace::Located> Workspace::FindPath(std::string_view path) const
{
    if (single) {
        pugi::xml_node node = single->FindPath(path);
        return node ? std::optional(Located{0, node}) : std::nullopt;
    }
    WorkspaceLookup::Found first = lookup.FirstWithPath(path);
    if (!first)
        return std::nullopt;
    return Located{first.file, first.node};
}

std::optional<std::pair<size_t, Index::Named>> Workspace::FindShortName(std::string_view name) const
{
    if (single) {
        std::optional<Index::Named> named = single->FindShortName(name);
        return named ? std::optional(std::pair(size_t(0), std::move(*named))) : std::nullopt;
    }
    WorkspaceLookup::Found first = lookup.FirstWithShortName(name);
    if (!first)
        return std::nullopt;
    return std::pair(size_t(first.file), Index::Named{first.node, lookup.PathOf(first.id)});
}

size_t Workspace::CountReferrers(std::string_view text) const
{
    if (single)
        return single->Referrers(text).size();
    return lookup.ReferrerCount(text);
}

std::vector<Workspace::Located> Workspace::Referrers(std::string_view text) const
{
    std::vector<Located> found;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!files[i].index)
            continue;
        for (pugi::xml_node node : files[i].index->Referrers(text))
            found.push_back({i, node});
    }
    return found;
}

std::string_view Workspace::ResolvedReference(pugi::xml_node node) const
{
    if (single)
        return single->ResolvedReference(node);
    std::optional<size_t> file = FileOf(node);
    return file ? files[*file].index->ResolvedReference(node) : std::string_view();
}

std::optional<size_t> Workspace::FileOf(pugi::xml_node node) const
{
    if (!node)
        return std::nullopt;
    auto found = fileOfDocument.find(node.root().internal_object());
    if (found == fileOfDocument.end())
        return std::nullopt;
    return found->second;
}

std::vector<Workspace::BrokenReference> Workspace::BrokenReferences(const std::atomic<bool>& stop) const
{
    // A text is tried once, however many files hold it; the first file to hold it names the first referrer.
    using Key = std::pair<std::string_view, std::string_view>; // text, reason
    std::map<Key, BrokenReference> broken;
    std::map<std::string_view, bool> resolves;
    auto add = [&](Key key, size_t file, pugi::xml_node first, size_t count) {
        auto [entry, fresh] =
            broken.try_emplace(key, BrokenReference{key.first, 0, {file, first}, key.second});
        entry->second.count += count;
    };
    for (size_t i = 0; i < files.size() && !stop.load(std::memory_order_relaxed); ++i) {
        if (!files[i].index)
            continue;
        files[i].index->ForEachReferenceText(
            [&](std::string_view text, std::span<const pugi::xml_node> nodes) {
                auto [known, fresh] = resolves.try_emplace(text, false);
                if (fresh)
                    known->second = FindPath(text).has_value();
                if (!known->second)
                    add({text, kTargetMissing}, i, nodes.front(), nodes.size());
            });
        for (const Index::UnresolvedReference& unresolved : files[i].index->UnresolvedReferences())
            add({unresolved.text, RelativeFailureText(unresolved.failure)}, i, unresolved.node, 1);
    }
    std::vector<BrokenReference> list;
    list.reserve(broken.size());
    for (auto& [key, entry] : broken)
        list.push_back(entry);
    return list;
}

std::vector<BrokenRef> MostHeldFirst(const std::vector<Workspace::BrokenReference>& broken)
{
    std::vector<BrokenRef> list;
    list.reserve(broken.size());
    ShortNameMemo names;
    for (const Workspace::BrokenReference& entry : broken)
        list.push_back({std::string(entry.text), entry.count, Ref(entry.firstReferrer.node, names),
                        std::string(entry.reason)});
    std::stable_sort(list.begin(), list.end(),
                     [](const BrokenRef& a, const BrokenRef& b) { return a.count > b.count; });
    return list;
}

namespace {
void Read(WorkspaceFile& file, const std::shared_ptr<DocumentArena>& shared)
{
    try {
        file.document = ReadDocument(file.path, shared);
    } catch (const std::bad_alloc&) {
        file.error = LoadFailureMessage(file.path, "not enough memory");
    } catch (const std::exception& e) {
        file.error = LoadFailureMessage(file.path, e.what());
    }
}

void IndexOne(WorkspaceFile& file, const std::atomic<bool>& stop, const ReferenceBases& bases, bool alone)
{
    try {
        DocumentArena::Use use(ArenaOf(file.document)); // the index's lists live beside the document
        auto index = std::make_shared<Index>();
        BuildIndexInto(*index, file.nodeCount, *file.document, "", stop, &bases, alone);
        file.index = std::move(index);
    } catch (const std::bad_alloc&) {
        file.error = IndexFailureMessage(file.path, "not enough memory");
    } catch (const std::exception& e) {
        file.error = IndexFailureMessage(file.path, e.what());
    }
    if (file.index == nullptr)
        file.document.reset();
}

// Runs `work(file, worker)` for every number of `order`, in that order, on up to `workers`
// threads, numbered from 0.
template <class Work> void OnWorkers(const std::vector<size_t>& order, size_t workers, Work&& work)
{
    std::atomic<size_t> next{0};
    auto take = [&](size_t worker) {
        for (size_t taken; (taken = next.fetch_add(1)) < order.size();)
            work(order[taken], worker);
    };
    std::vector<std::thread> threads;
    try {
        for (size_t i = 1; i < std::max<size_t>(workers, 1); ++i)
            threads.push_back(StartThread([&take, i] { take(i); }));
    } catch (const std::exception&) {
        // Fewer threads than asked for still do every file.
    }
    take(0);
    for (std::thread& thread : threads)
        thread.join();
}
} // namespace

std::vector<WorkspaceFile> LoadWorkspaceFiles(const std::vector<ListedFile>& listed, size_t workers,
                                              const std::atomic<bool>& stop,
                                              const WorkspaceFileLoaded& loaded, WorkspaceProgress* progress)
{
    WorkspaceProgress unwatched;
    WorkspaceProgress& counts = progress ? *progress : unwatched;
    std::vector<WorkspaceFile> files(listed.size());
    std::vector<size_t> order;
    for (size_t i = 0; i < listed.size(); ++i) {
        files[i].path = listed[i].path;
        files[i].error = listed[i].error;
        if (!files[i].error.empty())
            continue; // failed while the folder was listed: done already
        order.push_back(i);
        std::error_code ignored;
        uintmax_t size = std::filesystem::file_size(Platform::PathFromUtf8(listed[i].path), ignored);
        files[i].size = size == uintmax_t(-1) ? 0 : size;
    }
    counts.read = files.size() - order.size();
    counts.indexed = files.size() - order.size();
    counts.files = files.size();
    // The largest files first, so that no worker is left with a big one at the end.
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return files[a].size > files[b].size; });

    auto stopped = [&](WorkspaceFile& file, const std::atomic<bool>& failed) {
        if (!stop.load(std::memory_order_relaxed) && !failed.load(std::memory_order_relaxed))
            return false;
        file.error = LoadFailureMessage(file.path, "stopped");
        file.document.reset();
        return true;
    };
    const std::atomic<bool> never{false};
    // Each worker reads its small files into one arena of its own: a file of a megabyte would
    // otherwise leave most of its last huge page unused, about as much again as its text.
    std::vector<std::shared_ptr<DocumentArena>> arenas(std::max<size_t>(workers, 1));
    for (auto& arena : arenas)
        arena = std::make_shared<DocumentArena>();
    OnWorkers(order, workers, [&](size_t i, size_t worker) {
        if (!stopped(files[i], never))
            Read(files[i], arenas[worker]);
        counts.read.fetch_add(1, std::memory_order_relaxed);
    });

    // Every file's bases before any file's references: a package is one however many files hold it.
    ReferenceBases bases;
    for (const WorkspaceFile& file : files) {
        if (file.document)
            bases.Collect(*file.document);
    }
    bases.Finish();

    // What the caller does with a loaded file can fail too (a table over all files that runs out
    // of memory): no further file is started, and the first failure is thrown once all workers
    // are done, where an exception leaving a worker would end the process.
    std::mutex failureMutex;
    std::exception_ptr failure;
    std::atomic<bool> failed{false};
    OnWorkers(order, workers, [&](size_t i, size_t) {
        WorkspaceFile& file = files[i];
        if (!stopped(file, failed)) {
            if (file.document)
                IndexOne(file, stop, bases, workers > 1);
            try {
                if (loaded)
                    loaded(i, file);
            } catch (...) {
                std::lock_guard<std::mutex> lock(failureMutex);
                if (!failure)
                    failure = std::current_exception();
                failed = true;
            }
        }
        counts.indexed.fetch_add(1, std::memory_order_relaxed);
    });
    if (stop.load(std::memory_order_relaxed))
        throw std::runtime_error("stopped");
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            throw std::runtime_error("not enough memory");
        }
    }
    return files;
}

namespace {
std::vector<ListedFile> ToLoad(const std::vector<std::string>& paths)
{
    std::vector<ListedFile> listed;
    listed.reserve(paths.size());
    for (const std::string& path : paths)
        listed.push_back({path, ""});
    return listed;
}
} // namespace

std::vector<WorkspaceFile> LoadWorkspaceFiles(const std::vector<std::string>& paths, size_t workers,
                                              const std::atomic<bool>& stop,
                                              const WorkspaceFileLoaded& loaded, WorkspaceProgress* progress)
{
    return LoadWorkspaceFiles(ToLoad(paths), workers, stop, loaded, progress);
}

std::shared_ptr<Workspace> LoadWorkspace(const std::vector<ListedFile>& listed, std::string folder,
                                         size_t workers, const std::atomic<bool>& stop,
                                         WorkspaceProgress* progress)
{
    WorkspaceLookup lookup;
    std::mutex lookupMutex; // guards `lookup` and `sized`
    bool sized = false;     // the lookup was told how much the folder holds
    std::mutex waitingMutex;
    struct Waiting
    {
        uint32_t file;
        const Index* index;
        uint64_t bytes;
    };
    std::vector<Waiting> waiting; // indexed files not yet in `lookup`
    auto takeWaiting = [&] {
        std::lock_guard<std::mutex> lock(waitingMutex);
        return std::exchange(waiting, {});
    };
    uint64_t folderBytes = 0;
    for (const ListedFile& file : listed) {
        std::error_code ignored;
        const uintmax_t size = std::filesystem::file_size(Platform::PathFromUtf8(file.path), ignored);
        folderBytes += file.error.empty() && !ignored ? size : 0;
    }
    std::vector<WorkspaceFile> files = LoadWorkspaceFiles(
        listed, workers, stop,
        [&](size_t number, const WorkspaceFile& file) {
            if (!file.index)
                return;
            {
                std::lock_guard<std::mutex> lock(waitingMutex);
                waiting.push_back({uint32_t(number), file.index.get(), file.size});
            }
            // The worker holding the lookup adds every file waiting, the others go on to their
            // next file instead of waiting their turn: adding takes about half as long as indexing.
            // Whoever lets go of the lookup looks again, for files that came meanwhile.
            for (bool more = true; more;) {
                std::unique_lock<std::mutex> lock(lookupMutex, std::try_to_lock);
                if (!lock.owns_lock())
                    return;
                for (const Waiting& next : takeWaiting()) {
                    lookup.Add(next.file, *next.index);
                    // The first file tells how much the whole folder will take.
                    if (!sized && next.bytes > 0 && folderBytes > next.bytes)
                        lookup.Expect(double(folderBytes) / double(next.bytes));
                    sized = true;
                }
                lock.unlock();
                std::lock_guard<std::mutex> check(waitingMutex);
                more = !waiting.empty();
            }
        },
        progress);
    // A try-lock may fail while no one holds the lock: a file it left waiting is added here.
    for (const Waiting& next : takeWaiting())
        lookup.Add(next.file, *next.index);
    return std::make_shared<Workspace>(std::move(files), std::move(lookup), std::move(folder));
}
