#include "query/WorkspaceState.h"

#include "document/LoadingState.h"
#include "model/Workspace.h"
#include "query/FullTextSearchService.h"
#include "query/TreeFilterService.h"

#include <stdexcept>

namespace {
std::vector<pugi::xml_node> DocumentRoots(const Workspace& workspace)
{
    std::vector<pugi::xml_node> roots;
    for (const WorkspaceFile& file : workspace.Files()) {
        if (file.document)
            roots.push_back(*file.document);
    }
    return roots;
}
} // namespace

WorkspaceState::WorkspaceState(std::string folder, std::shared_ptr<const Workspace> workspace)
    : State(std::move(folder), nullptr), lookupPool(2), workspace(std::move(workspace)),
      searchService(std::make_unique<FullTextSearchService>(DocumentRoots(*this->workspace)))
{
    for (const WorkspaceFile& file : this->workspace->Files())
        nodeCount += file.nodeCount;
    searchService->total = static_cast<int>(static_cast<uint32_t>(nodeCount));
}

// The tasks read the workspace, which dies before the pool is joined: stop them and let them end.
WorkspaceState::~WorkspaceState()
{
    lookupPool.RequestStop();
    for (auto& [path, answer] : refsTo)
        answer.Wait();
    brokenRefs.Wait();
}

std::shared_ptr<State> WorkspaceState::Update()
{
    if (!pendingPath.empty())
        return LoadingState::Start(pendingPath);
    return shared_from_this();
}

Result<Ref> WorkspaceState::FindRef(std::string path)
{
    uint64_t hash = RefCache::Hash(path);
    if (std::optional<Result<Ref>> cached = refCache.Find(path, hash))
        return std::move(*cached);
    std::optional<Workspace::Located> found = workspace->FindPath(path);
    if (!found)
        return refCache.AddMissing(std::move(path), hash);
    Ref ref(found->node, std::move(path));
    return refCache.Add(ref->path, hash, ref);
}

Result<Ref> WorkspaceState::FindShortName(std::string shortName)
{
    uint64_t hash = RefCache::Hash(shortName);
    if (std::optional<Result<Ref>> cached = shortNameCache.Find(shortName, hash))
        return std::move(*cached);
    auto named = workspace->FindShortName(shortName);
    if (!named)
        return shortNameCache.AddMissing(std::move(shortName), hash);
    return shortNameCache.Add(shortName, hash, Ref(named->second.node, std::move(named->second.path)));
}

Result<std::vector<Ref>> WorkspaceState::FindRefsTo(std::string path)
{
    auto [slot, fresh] = refsTo.try_emplace(path);
    if (fresh)
        slot->second.Start(lookupPool.Submit(&WorkspaceState::CollectReferrers, this, path));
    return slot->second.Poll();
}

Result<std::vector<Ref>> WorkspaceState::FullTextSearch(std::string query, bool matchCase, size_t limit)
{
    return searchService->Search(std::move(query), matchCase, limit);
}

HitContext WorkspaceState::FullTextHitContext(size_t index)
{
    return searchService->ContextOf(index);
}

Result<size_t> WorkspaceState::CountRefsTo(std::string path)
{
    return Result<size_t>::Value(workspace->CountReferrers(path));
}

Result<std::vector<BrokenRef>> WorkspaceState::FindBrokenRefs()
{
    if (!brokenRefs.Started())
        brokenRefs.Start(lookupPool.Submit(&WorkspaceState::CollectBrokenRefs, this));
    return brokenRefs.Poll();
}

Result<TreeFilterMatches> WorkspaceState::FilterTree(const TreeFilterQuery& query)
{
    // Every file's document, failed files included as empty roots, so that the counts per root
    // line up with the file rows.
    if (!treeFilter) {
        std::vector<pugi::xml_node> roots;
        for (const WorkspaceFile& file : workspace->Files())
            roots.push_back(file.document ? pugi::xml_node(*file.document) : pugi::xml_node());
        treeFilter = std::make_unique<TreeFilterService>(std::move(roots), nodeCount);
    }
    return treeFilter->Filter(query);
}

std::string WorkspaceState::ResolvedReference(pugi::xml_node node) const
{
    return std::string(workspace->ResolvedReference(node));
}

std::vector<Ref> WorkspaceState::CollectReferrers(std::string path)
{
    std::vector<Workspace::Located> nodes = workspace->Referrers(path);
    if (nodes.empty())
        throw std::runtime_error("No nodes reference this element.");
    std::vector<Ref> refs;
    refs.reserve(nodes.size());
    ShortNameMemo names;
    const std::atomic<bool>& stop = lookupPool.StopFlag();
    for (const Workspace::Located& at : nodes) {
        if (stop.load(std::memory_order_relaxed))
            throw std::runtime_error("The document was closed.");
        refs.emplace_back(at.node, names);
    }
    return refs;
}

std::vector<BrokenRef> WorkspaceState::CollectBrokenRefs()
{
    return MostHeldFirst(workspace->BrokenReferences(lookupPool.StopFlag()));
}
