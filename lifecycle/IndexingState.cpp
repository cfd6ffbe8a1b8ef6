#include "lifecycle/IndexingState.h"

#include "concurrency/ThreadStart.h"
#include "document/DocumentParser.h"
#include "lifecycle/LoadingState.h"
#include "lifecycle/ReadyState.h"
#include "model/ElementChain.h"
#include "model/IndexBuilder.h"
#include "model/NodeText.h"
#include "model/ReferenceBases.h"
#include "model/Workspace.h"
#include "query/FullTextSearchService.h"

#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace {
const Result<Ref>& PendingRef()
{
    static const Result<Ref> pending = Result<Ref>::Pending();
    return pending;
}

} // namespace

IndexingState::IndexingState(std::string filePath, std::shared_ptr<pugi::xml_document> document)
    : State(std::move(filePath), std::move(document)), lookupPool(MachineThreads()), buildPool(1),
      index(std::make_shared<Index>())
{
    // The service first: once the build is submitted nothing may fail, since a constructor that
    // throws skips the destructor that waits for the build.
    searchService = std::make_shared<FullTextSearchService>(*this->document);
    buildFuture = buildPool.Submit(&IndexingState::BuildIndex, this, pugi::xml_node(*this->document), "");
}

// The index member dies before the build pool is joined, so a build still running here would
// write freed maps. Stop it and wait for it first; its partial index is discarded anyway.
IndexingState::~IndexingState()
{
    lookupPool.RequestStop();
    buildPool.RequestStop();
    try {
        buildFuture.Get();
    } catch (const std::exception&) {
    }
}

void IndexingState::BuildIndex(pugi::xml_node node, std::string path)
{
    try {
        DocumentArena::Use use(ArenaOf(document)); // the index's lists live beside the document
        // One file's packages are all the bases its relative references can name.
        ReferenceBases bases;
        bases.Collect(node);
        bases.Finish();
        BuildIndexInto(*index, nodeCount, node, std::move(path), lookupPool.StopFlag(), &bases);
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("not enough memory");
    }
}

std::shared_ptr<State> IndexingState::Update()
{
    if (!pendingPath.empty()) {
        lookupPool.RequestStop();
        buildPool.RequestStop();
        return LoadingState::Start(pendingPath);
    }
    if (!buildFuture.IsReady())
        return shared_from_this();
    // An index cut short by a failure would answer "Invalid Reference" and 0 everywhere.
    try {
        buildFuture.Get();
        std::error_code unknown;
        const uintmax_t size = std::filesystem::file_size(filePath, unknown);
        std::vector<WorkspaceFile> only{{filePath, unknown ? 0 : size, document, index, nodeCount, ""}};
        return std::make_shared<ReadyState>(filePath, std::make_shared<Workspace>(std::move(only)),
                                            searchService);
    } catch (const std::exception& e) {
        return std::make_shared<ErrorState>(filePath, IndexFailureMessage(filePath, e.what()));
    }
}

Result<Ref> IndexingState::FindRef(std::string refPath)
{
    if (auto cached = refCache.find(refPath); cached != refCache.end())
        return cached->second;
    if (auto pending = pendingRefs.find(refPath); pending != pendingRefs.end()) {
        if (!pending->second.IsReady())
            return PendingRef();
        Result<Ref> answer;
        try {
            answer = Result<Ref>::Value(pending->second.Get());
        } catch (const std::exception& e) {
            answer = Result<Ref>::Error(e.what());
        }
        pendingRefs.erase(pending);
        return refCache.emplace(std::move(refPath), std::move(answer)).first->second;
    }
    pendingRefs.emplace(refPath, lookupPool.Submit(&IndexingState::ResolveRef, this, refPath));
    return PendingRef();
}

Result<std::vector<Ref>> IndexingState::FullTextSearch(std::string query, bool matchCase, size_t limit)
{
    return searchService->Search(std::move(query), matchCase, limit);
}

HitContext IndexingState::FullTextHitContext(size_t index)
{
    return searchService->ContextOf(index);
}

Ref IndexingState::ResolveRef(std::string refPath)
{
    std::optional<pugi::xml_node> found = MatchPath(*document, refPath);
    if (!found)
        throw std::runtime_error("Invalid Reference");
    return Ref(*found);
}

// Depth-first in document order: named nodes must be the next step of the path (a mismatch cuts
// off their subtree), nodes without a short name pass through. Explicit stack, any depth.
std::optional<pugi::xml_node> IndexingState::MatchPath(pugi::xml_node node, std::string_view path) const
{
    const std::atomic<bool>& stop = lookupPool.StopFlag();
    struct Frame
    {
        pugi::xml_node nextChild;
        size_t matched; // bytes of the path matched by the named nodes above
    };
    std::vector<Frame> stack;

    // One visit; returns true when the node completes the path, else pushes its children.
    auto visit = [&](pugi::xml_node x, size_t at) -> bool {
        if (stop.load(std::memory_order_relaxed) || at >= path.size())
            return false;
        if (pugi::xml_node shortName = ShortNameChild(x)) {
            const std::string_view name = shortName.text().get();
            if (!IsPathStep(path, at, name))
                return false;
            at += name.size() + 1;
            if (at == path.size())
                return true;
        }
        stack.push_back({x.first_child(), at});
        return false;
    };

    if (visit(node, 0))
        return node;
    while (!stack.empty()) {
        if (stop.load(std::memory_order_relaxed))
            return std::nullopt;
        Frame& top = stack.back();
        if (!top.nextChild) {
            stack.pop_back();
            continue;
        }
        pugi::xml_node child = top.nextChild;
        top.nextChild = child.next_sibling();
        if (visit(child, top.matched))
            return child;
    }
    return std::nullopt;
}
