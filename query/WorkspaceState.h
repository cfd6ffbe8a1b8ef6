#pragma once

#include "concurrency/PolledAnswer.h"
#include "concurrency/ThreadPool.h"
#include "document/State.h"
#include "document/StringKeyMap.h"

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class FullTextSearchService;
class TreeFilterService;
class Workspace;

// Several files, each parsed and indexed, answered as one model: every query spans the files.
class WorkspaceState : public State
{
public:
    WorkspaceState(std::string folder, std::shared_ptr<const Workspace> workspace);
    ~WorkspaceState() override;

    StateKind GetKind() const override { return StateKind::Ready; }
    std::shared_ptr<State> Update() override;
    Result<Ref> FindRef(std::string path) override;
    Result<Ref> FindShortName(std::string shortName) override;
    Result<std::vector<Ref>> FindRefsTo(std::string path) override;
    Result<std::vector<Ref>> FullTextSearch(std::string query, bool matchCase,
                                            size_t limit = kFullTextHitsPerPage) override;
    HitContext FullTextHitContext(size_t index) override;
    Result<size_t> CountRefsTo(std::string path) override;
    Result<std::vector<BrokenRef>> FindBrokenRefs() override;
    Result<TreeFilterMatches> FilterTree(const TreeFilterQuery& query) override;
    std::string ResolvedReference(pugi::xml_node node) const override;
    std::shared_ptr<const Workspace> GetWorkspace() const override { return workspace; }

    // Tasks; public so that the pool can bind them.
    std::vector<Ref> CollectReferrers(std::string path);
    std::vector<BrokenRef> CollectBrokenRefs();

private:
    // Keys view the answer's own path where there is one (a short name is the end of its path),
    // so that a first call copies its key once, into the Ref, and not a second time for the map.
    using AnswerCache = std::unordered_map<std::string_view, Result<Ref>, StringKeyHash, std::equal_to<>>;
    // The key of a question without a Ref to hold it.
    std::string_view KeepKey(std::string key);

    ThreadPool lookupPool;
    AnswerCache refCache;
    AnswerCache shortNameCache;
    std::deque<std::string> unansweredKeys; // of both caches; a deque never moves them
    StringKeyMap<PolledAnswer<std::vector<Ref>>> refsTo;
    PolledAnswer<std::vector<BrokenRef>> brokenRefs;
    std::shared_ptr<const Workspace> workspace;
    std::unique_ptr<FullTextSearchService> searchService;
    uint64_t nodeCount = 0;                        // of every file
    std::unique_ptr<TreeFilterService> treeFilter; // made when first asked; walks the files in order
};
