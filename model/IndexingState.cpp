#include "model/IndexingState.h"

#include "document/LoadingState.h"
#include "model/IndexBuilder.h"
#include "model/NodeText.h"
#include "query/FullTextSearchService.h"
#include "query/ReadyState.h"

#include <cstring>
#include <stdexcept>

namespace {
const Result<Ref>& PendingRef()
{
    static const Result<Ref> pending = Result<Ref>::Pending();
    return pending;
}

// "/A//B/" and "A/B" both give A, B: empty pieces do not count.
std::vector<std::string> SplitSegments(const std::string& text)
{
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            segments.emplace_back(text, start, end - start);
        start = end + 1;
    }
    return segments;
}
} // namespace

IndexingState::IndexingState(std::string filePath, std::shared_ptr<pugi::xml_document> document)
    : State(std::move(filePath), std::move(document)), lookupPool(2), buildPool(1),
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
        BuildIndexInto(*index, nodeCount, node, std::move(path), lookupPool.StopFlag());
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
        return std::make_shared<ReadyState>(filePath, document, index, searchService, nodeCount);
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
    std::optional<pugi::xml_node> found = MatchPath(*document, SplitSegments(refPath), 0);
    if (!found)
        throw std::runtime_error("Invalid Reference");
    return Ref(*found);
}

// Depth-first in document order: named nodes must match the next segment (a mismatch cuts off
// their subtree), nodes without a short name pass through. Explicit stack, any depth.
std::optional<pugi::xml_node>
IndexingState::MatchPath(pugi::xml_node node, const std::vector<std::string>& segments, size_t depth) const
{
    const std::atomic<bool>& stop = lookupPool.StopFlag();
    if (depth == 0 && segments.empty())
        return stop ? std::nullopt : std::optional(node);

    struct Frame
    {
        pugi::xml_node nextChild;
        size_t depth;
    };
    std::vector<Frame> stack;

    // One visit; returns the node when it completes the path, else pushes its children.
    auto visit = [&](pugi::xml_node x, size_t d) -> bool {
        if (stop.load(std::memory_order_relaxed) || d >= segments.size())
            return false;
        if (pugi::xml_node shortName = ShortNameChild(x)) {
            const char* s = shortName.text().get();
            if (std::strcmp(s, segments[d].c_str()) != 0)
                return false;
            if (d + 1 == segments.size())
                return true;
            ++d;
        }
        stack.push_back({x.first_child(), d});
        return false;
    };

    if (visit(node, depth))
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
        if (visit(child, top.depth))
            return child;
    }
    return std::nullopt;
}
