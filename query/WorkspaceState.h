#pragma once

#include "concurrency/PolledAnswer.h"
#include "concurrency/ThreadPool.h"
#include "document/State.h"
#include "document/StringKeyMap.h"
#include "query/RefCache.h"

#include <memory>
#include <string>
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
    ThreadPool lookupPool;
    RefCache refCache{"Invalid Reference"};
    RefCache shortNameCache{"Could not find such an element."};
    StringKeyMap<PolledAnswer<std::vector<Ref>>> refsTo;
    PolledAnswer<std::vector<BrokenRef>> brokenRefs;
    std::shared_ptr<const Workspace> workspace;
    std::unique_ptr<FullTextSearchService> searchService;
    uint64_t nodeCount = 0;                        // of every file
    std::unique_ptr<TreeFilterService> treeFilter; // made when first asked; walks the files in order
};
