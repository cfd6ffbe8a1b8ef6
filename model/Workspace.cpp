#include "model/Workspace.h"

#include "concurrency/ThreadStart.h"
#include "document/LoadingState.h"
#include "model/IndexBuilder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <thread>

namespace {
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
    if (std::optional<size_t> count = lookup.ReferrerCount(text))
        return *count;
    size_t count = 0;
    for (const WorkspaceFile& file : files) {
        if (file.index)
            count += file.index->Referrers(text).size();
    }
    return count;
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
    std::map<std::string_view, BrokenReference> broken;
    std::map<std::string_view, bool> resolves;
    for (size_t i = 0; i < files.size() && !stop.load(std::memory_order_relaxed); ++i) {
        if (!files[i].index)
            continue;
        files[i].index->ForEachReferenceText(
            [&](std::string_view text, std::span<const pugi::xml_node> nodes) {
                auto [known, fresh] = resolves.try_emplace(text, false);
                if (fresh)
                    known->second = FindPath(text).has_value();
                if (known->second)
                    return;
                auto [entry, first] = broken.try_emplace(text, BrokenReference{text, 0, {i, nodes.front()}});
                entry->second.count += nodes.size();
            });
    }
    std::vector<BrokenReference> list;
    list.reserve(broken.size());
    for (auto& [text, entry] : broken)
        list.push_back(entry);
    return list;
}

std::vector<BrokenRef> MostHeldFirst(const std::vector<Workspace::BrokenReference>& broken)
{
    std::vector<BrokenRef> list;
    list.reserve(broken.size());
    ShortNameMemo names;
    for (const Workspace::BrokenReference& entry : broken)
        list.push_back({std::string(entry.text), entry.count, Ref(entry.firstReferrer.node, names)});
    std::stable_sort(list.begin(), list.end(),
                     [](const BrokenRef& a, const BrokenRef& b) { return a.count > b.count; });
    return list;
}

std::vector<std::string> ListWorkspaceFiles(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::vector<std::string> paths;
    std::error_code error;
    fs::recursive_directory_iterator walk(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        const fs::path& path = walk->path();
        std::string extension = path.extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        // The loader reads an archive only when its extension is exactly "zip".
        if (extension == ".arxml" || path.extension() == ".zip") {
            std::error_code ignored;
            if (!walk->is_directory(ignored))
                paths.push_back(path.string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

namespace {
void LoadOne(WorkspaceFile& file, const std::atomic<bool>& stop, std::atomic<size_t>& read)
{
    try {
        file.document = ReadDocument(file.path);
        read.fetch_add(1, std::memory_order_relaxed);
    } catch (const std::bad_alloc&) {
        file.error = LoadFailureMessage(file.path, "not enough memory");
        read.fetch_add(1, std::memory_order_relaxed);
        return;
    } catch (const std::exception& e) {
        file.error = LoadFailureMessage(file.path, e.what());
        read.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    try {
        auto index = std::make_shared<Index>();
        BuildIndexInto(*index, file.nodeCount, *file.document, "", stop);
        file.index = std::move(index);
    } catch (const std::bad_alloc&) {
        file.error = IndexFailureMessage(file.path, "not enough memory");
    } catch (const std::exception& e) {
        file.error = IndexFailureMessage(file.path, e.what());
    }
    if (file.index == nullptr)
        file.document.reset();
}
} // namespace

std::vector<WorkspaceFile> LoadWorkspaceFiles(const std::vector<std::string>& paths, size_t workers,
                                              const std::atomic<bool>& stop,
                                              const WorkspaceFileLoaded& loaded, WorkspaceProgress* progress)
{
    WorkspaceProgress unwatched;
    WorkspaceProgress& counts = progress ? *progress : unwatched;
    counts.files = paths.size();
    std::vector<WorkspaceFile> files(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        files[i].path = paths[i];
        std::error_code ignored;
        uintmax_t size = std::filesystem::file_size(paths[i], ignored);
        files[i].size = size == uintmax_t(-1) ? 0 : size;
    }
    // The largest files first, so that no worker is left with a big one at the end.
    std::vector<size_t> order(files.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return files[a].size > files[b].size; });

    // What the caller does with a loaded file can fail too (a table over all files that runs out
    // of memory): no further file is started, and the first failure is thrown once all workers
    // are done, where an exception leaving a worker would end the process.
    std::mutex failureMutex;
    std::exception_ptr failure;
    std::atomic<bool> failed{false};
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t taken; (taken = next.fetch_add(1)) < order.size();) {
            WorkspaceFile& file = files[order[taken]];
            if (stop.load(std::memory_order_relaxed) || failed.load(std::memory_order_relaxed)) {
                file.error = LoadFailureMessage(file.path, "stopped");
            } else {
                LoadOne(file, stop, counts.read);
                try {
                    if (loaded)
                        loaded(order[taken], file);
                } catch (...) {
                    std::lock_guard<std::mutex> lock(failureMutex);
                    if (!failure)
                        failure = std::current_exception();
                    failed = true;
                }
            }
            counts.indexed.fetch_add(1, std::memory_order_relaxed);
        }
    };
    std::vector<std::thread> threads;
    try {
        for (size_t i = 1; i < std::max<size_t>(workers, 1); ++i)
            threads.push_back(StartThread(work));
    } catch (const std::exception&) {
        // Fewer threads than asked for still load every file.
    }
    work();
    for (std::thread& thread : threads)
        thread.join();
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

std::shared_ptr<Workspace> LoadWorkspace(const std::vector<std::string>& paths, std::string folder,
                                         size_t workers, const std::atomic<bool>& stop,
                                         WorkspaceProgress* progress)
{
    WorkspaceLookup lookup;
    std::mutex lookupMutex;
    std::vector<WorkspaceFile> files = LoadWorkspaceFiles(
        paths, workers, stop,
        [&](size_t number, const WorkspaceFile& file) {
            if (!file.index)
                return;
            std::lock_guard<std::mutex> lock(lookupMutex);
            lookup.Add(uint32_t(number), *file.index);
        },
        progress);
    return std::make_shared<Workspace>(std::move(files), std::move(lookup), std::move(folder));
}
