#include "lifecycle/ReadyState.h"

#include "concurrency/ThreadStart.h"
#include "lifecycle/LoadingState.h"
#include "model/Workspace.h"
#include "query/FullTextSearchService.h"
#include "query/PathCompletion.h"
#include "query/TreeFilterService.h"

#include <exception>
#include <mutex>
#include <stdexcept>

namespace {
const Result<std::vector<Ref>>& PendingRefsTo()
{
    static const Result<std::vector<Ref>> pending = Result<std::vector<Ref>>::Pending();
    return pending;
}

// Every file's document, failed files included as empty roots, so that the filter's counts per
// root line up with the file rows.
std::vector<pugi::xml_node> DocumentRoots(const Workspace& workspace)
{
    std::vector<pugi::xml_node> roots;
    for (const WorkspaceFile& file : workspace.Files())
        roots.push_back(file.document ? pugi::xml_node(*file.document) : pugi::xml_node());
    return roots;
}

// A single file is shown as its own document; a folder has no document of its own.
std::shared_ptr<pugi::xml_document> OnlyDocument(const Workspace& workspace)
{
    return workspace.IsFolder() || workspace.Files().size() != 1 ? nullptr : workspace.Files()[0].document;
}
} // namespace

ReadyState::ReadyState(std::string filePath, std::shared_ptr<const Workspace> workspace,
                       std::shared_ptr<FullTextSearchService> searchService)
    : State(std::move(filePath), OnlyDocument(*workspace)), lookupPool(MachineThreads()),
      workspace(std::move(workspace)), searchService(std::move(searchService))
{
    for (const WorkspaceFile& file : this->workspace->Files())
        nodeCount += file.nodeCount;
    if (!this->searchService)
        this->searchService = std::make_shared<FullTextSearchService>(DocumentRoots(*this->workspace));
    this->searchService->total = static_cast<int>(static_cast<uint32_t>(nodeCount));
}

// The workspace member dies before the pool is joined, so a referrers task still running or queued
// would read freed maps. Tell them to stop, then wait for them: nobody reads their lists any more.
ReadyState::~ReadyState()
{
    lookupPool.RequestStop();
    for (auto& [path, pending] : pendingRefsTo) {
        auto& shared = *pending.state; // waits without copying a possibly huge list
        std::unique_lock<std::mutex> lock(shared.mutex);
        shared.condition.wait(lock, [&shared] { return shared.ready; });
    }
    brokenRefs.Wait();
    sortedPaths.Wait();
}

std::shared_ptr<State> ReadyState::Update()
{
    if (!pendingPath.empty())
        return LoadingState::Start(pendingPath);
    return shared_from_this();
}

Result<Ref> ReadyState::FindRef(std::string path)
{
    uint64_t hash = RefCache::Hash(path);
    if (std::optional<Result<Ref>> cached = refCache.Find(path, hash))
        return std::move(*cached);
    std::optional<Workspace::Located> found = workspace->FindPath(path);
    if (!found)
        return refCache.AddMissing(std::move(path), hash);
    // The key is the node's own element path, so the Ref needs no walk over short names.
    Ref ref(found->node, std::move(path));
    return refCache.Add(ref->path, hash, ref);
}

Result<Ref> ReadyState::FindShortName(std::string shortName)
{
    uint64_t hash = RefCache::Hash(shortName);
    if (std::optional<Result<Ref>> cached = shortNameCache.Find(shortName, hash))
        return std::move(*cached);
    // The index spells out the path from its own table, so the Ref needs no walk over short names.
    auto named = workspace->FindShortName(shortName);
    if (!named)
        return shortNameCache.AddMissing(std::move(shortName), hash);
    return shortNameCache.Add(shortName, hash, Ref(named->second.node, std::move(named->second.path)));
}

Result<std::vector<Ref>> ReadyState::FindRefsTo(std::string path)
{
    if (auto cached = refsToCache.find(path); cached != refsToCache.end())
        return cached->second;
    if (auto pending = pendingRefsTo.find(path); pending != pendingRefsTo.end()) {
        if (!pending->second.IsReady())
            return PendingRefsTo();
        // Take over the task's own result object instead of copying it: a list of hundreds of
        // thousands of Refs would otherwise hold this thread for milliseconds.
        Result<std::vector<Ref>> answer;
        std::exception_ptr failure;
        {
            auto& shared = *pending->second.state;
            std::lock_guard<std::mutex> lock(shared.mutex);
            failure = shared.exception;
            answer.value = shared.value;
        }
        if (failure) {
            answer.value.reset();
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& e) {
                answer = Result<std::vector<Ref>>::Error(e.what());
            }
        } else {
            answer.status = ResultStatus::Done;
        }
        pendingRefsTo.erase(pending);
        return refsToCache.emplace(std::move(path), std::move(answer)).first->second;
    }
    pendingRefsTo.emplace(path, lookupPool.Submit(&ReadyState::CollectReferrers, this, path));
    return PendingRefsTo();
}

Result<std::vector<Ref>> ReadyState::FullTextSearch(std::string query, bool matchCase, size_t limit)
{
    return searchService->Search(std::move(query), matchCase, limit);
}

HitContext ReadyState::FullTextHitContext(size_t index)
{
    return searchService->ContextOf(index);
}

Result<size_t> ReadyState::CountRefsTo(std::string path)
{
    return Result<size_t>::Value(workspace->CountReferrers(path));
}

Result<std::vector<BrokenRef>> ReadyState::FindBrokenRefs()
{
    if (!brokenRefs.Started())
        brokenRefs.Start(lookupPool.Submit(&ReadyState::CollectBrokenRefs, this));
    return brokenRefs.Poll();
}

std::vector<BrokenRef> ReadyState::CollectBrokenRefs()
{
    return MostHeldFirst(workspace->BrokenReferences(lookupPool.StopFlag()));
}

Result<std::string> ReadyState::CompleteRefPath(std::string typed)
{
    if (!sortedPaths.Started())
        sortedPaths.Start(lookupPool.Submit(&ReadyState::SortPaths, this));
    const Result<std::shared_ptr<const PathCompletion>> paths = sortedPaths.Poll();
    if (paths.status != ResultStatus::Done)
        return paths.status == ResultStatus::Error ? Result<std::string>::Error(paths.message)
                                                   : Result<std::string>::Pending();
    return Result<std::string>::Value(paths.GetValue()->Complete(typed));
}

std::shared_ptr<const PathCompletion> ReadyState::SortPaths()
{
    std::vector<const Index*> indexes;
    for (const WorkspaceFile& file : workspace->Files())
        indexes.push_back(file.index.get());
    return std::make_shared<const PathCompletion>(indexes, lookupPool.StopFlag());
}

std::string ReadyState::ResolvedReference(pugi::xml_node node) const
{
    return std::string(workspace->ResolvedReference(node));
}

std::vector<Ref> ReadyState::CollectReferrers(std::string path)
{
    const size_t count = workspace->CountReferrers(path);
    if (count == 0)
        throw std::runtime_error("No nodes reference this element.");
    std::vector<Ref> refs;
    refs.reserve(count);
    ShortNameMemo names; // referrers share their containers; each is scanned once
    const std::atomic<bool>& stop = lookupPool.StopFlag();
    for (const WorkspaceFile& file : workspace->Files()) {
        if (!file.index)
            continue;
        for (pugi::xml_node node : file.index->Referrers(path)) {
            if (stop.load(std::memory_order_relaxed))
                throw std::runtime_error("The document was closed."); // nobody reads this list any more
            refs.emplace_back(node, names);
        }
    }
    return refs;
}

Result<TreeFilterMatches> ReadyState::FilterTree(const TreeFilterQuery& query)
{
    if (!treeFilter)
        treeFilter = std::make_unique<TreeFilterService>(DocumentRoots(*workspace), nodeCount);
    return treeFilter->Filter(query);
}

Result<TreeFilterMatches> ReadyState::ListShortNames(std::string text, bool exact)
{
    if (!shortNameParts)
        shortNameParts = std::make_unique<TreeFilterService>(DocumentRoots(*workspace), nodeCount);
    return shortNameParts->Filter(TreeFilterQuery{std::move(text), false, false, exact});
}
