#pragma once

#include "concurrency/ThreadPool.h"
#include "document/StringKeyMap.h"
#include "lifecycle/PolledAnswer.h"
#include "lifecycle/State.h"
#include "query/RefCache.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FullTextSearchService;
class PathCompletion;
class TreeFilterService;
class Workspace;

// A fully indexed file, or folder of files answered as one model: every query is answered, final
// answers are cached for its lifetime.
class ReadyState : public State
{
public:
    // `searchService`: the one the indexing state started, or null to start one here.
    ReadyState(std::string filePath, std::shared_ptr<const Workspace> workspace,
               std::shared_ptr<FullTextSearchService> searchService = nullptr);
    ~ReadyState() override;

    StateKind GetKind() const override { return StateKind::Ready; }
    std::shared_ptr<State> Update() override;
    Result<Ref> FindRef(std::string path) override;
    Result<Ref> FindShortName(std::string shortName) override;
    Result<std::vector<Ref>> FindRefsTo(std::string path) override;
    Result<std::vector<Ref>> FullTextSearch(std::string query, bool matchCase,
                                            size_t limit = kFullTextHitsPerPage) override;
    HitContext FullTextHitContext(size_t index) override;
    Result<size_t> CountRefsTo(std::string path) override;
    Result<TreeFilterMatches> FilterTree(const TreeFilterQuery& query) override;
    Result<TreeFilterMatches> ListShortNames(std::string text, bool exact) override;
    Result<std::vector<BrokenRef>> FindBrokenRefs() override;
    Result<std::string> CompleteRefPath(std::string typed) override;
    std::string ResolvedReference(pugi::xml_node node) const override;
    std::shared_ptr<const Workspace> GetWorkspace() const override { return workspace; }

    // Tasks; public so that the pool can bind them.
    std::vector<Ref> CollectReferrers(std::string path);
    std::vector<BrokenRef> CollectBrokenRefs();
    std::shared_ptr<const PathCompletion> SortPaths();

    uint64_t GetNodeCount() const { return nodeCount; } // of every file

private:
    ThreadPool lookupPool;
    RefCache refCache{"Invalid Reference"};
    RefCache shortNameCache{"Could not find such an element."};
    StringKeyMap<Result<std::vector<Ref>>> refsToCache;
    StringKeyMap<Future<std::vector<Ref>>> pendingRefsTo;
    PolledAnswer<std::vector<BrokenRef>> brokenRefs;
    PolledAnswer<std::shared_ptr<const PathCompletion>> sortedPaths; // asked for by the first completion
    std::shared_ptr<const Workspace> workspace;
    uint64_t nodeCount = 0;
    std::shared_ptr<FullTextSearchService> searchService;
    // Started on first use; each walks the documents in order on a thread of its own.
    std::unique_ptr<TreeFilterService> treeFilter;
    std::unique_ptr<TreeFilterService> shortNameParts;
};
