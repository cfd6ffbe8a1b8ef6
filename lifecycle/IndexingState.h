#pragma once

#include "concurrency/ThreadPool.h"
#include "document/StringKeyMap.h"
#include "lifecycle/State.h"
#include "model/Index.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class FullTextSearchService;

// Builds the index on a worker while reference lookups (by walking) and text searches are answered.
class IndexingState : public State
{
public:
    IndexingState(std::string filePath, std::shared_ptr<pugi::xml_document> document);
    ~IndexingState() override;

    StateKind GetKind() const override { return StateKind::Indexing; }
    std::shared_ptr<State> Update() override;
    Result<Ref> FindRef(std::string refPath) override;
    Result<std::vector<Ref>> FullTextSearch(std::string query, bool matchCase,
                                            size_t limit = kFullTextHitsPerPage) override;
    HitContext FullTextHitContext(size_t index) override;

    // Tasks; public so that the pools can bind them.
    void BuildIndex(pugi::xml_node node, std::string path);
    Ref ResolveRef(std::string refPath);

private:
    std::optional<pugi::xml_node> MatchPath(pugi::xml_node node, std::string_view path) const;

    ThreadPool lookupPool;
    ThreadPool buildPool;
    Future<void> buildFuture;
    StringKeyMap<Result<Ref>> refCache;
    StringKeyMap<Future<Ref>> pendingRefs;
    std::shared_ptr<Index> index;
    uint64_t nodeCount = 0;
    std::shared_ptr<FullTextSearchService> searchService;
};
