#pragma once

#include "concurrency/PolledAnswer.h"
#include "concurrency/ThreadPool.h"
#include "document/State.h"
#include "document/StringKeyMap.h"
#include "model/Index.h"
#include "query/RefCache.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FullTextSearchService;
class TreeFilterService;

// A fully indexed document: every query is answered, final answers are cached for its lifetime.
class ReadyState : public State
{
public:
    ReadyState(std::string filePath, std::shared_ptr<pugi::xml_document> document,
               std::shared_ptr<Index> index, std::shared_ptr<FullTextSearchService> searchService,
               uint64_t nodeCount);
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
    Result<TreeFilterMatches> FindShortNamesContaining(std::string part) override;
    Result<std::vector<BrokenRef>> FindBrokenRefs() override;

    // The task; public so that the pool can bind it.
    std::vector<Ref> CollectReferrers(std::string path);
    std::vector<BrokenRef> CollectBrokenRefs();

    // Read-only views for tools that report on the whole document.
    const Index& GetIndex() const { return *index; }
    uint64_t GetNodeCount() const { return nodeCount; }

private:
    ThreadPool lookupPool;
    RefCache refCache{"Invalid Reference"};
    RefCache shortNameCache{"Could not find such an element."};
    StringKeyMap<Result<std::vector<Ref>>> refsToCache;
    StringKeyMap<Future<std::vector<Ref>>> pendingRefsTo;
    PolledAnswer<std::vector<BrokenRef>> brokenRefs;
    std::shared_ptr<Index> index;
    uint64_t nodeCount;
    std::shared_ptr<FullTextSearchService> searchService;
    // Started on first use; each walks the document on a thread of its own.
    std::unique_ptr<TreeFilterService> treeFilter;
    std::unique_ptr<TreeFilterService> shortNameParts;
};
