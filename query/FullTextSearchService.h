#pragma once

#include "document/Result.h"
#include "model/Ref.h"
#include "query/HitContext.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

// Searches the whole document on its own threads: one service thread that waits for a new query
// and four workers per search that split the nodes between them. A new query never waits for the
// old walk: the walk stops at its next node and the service thread starts the new one.
class FullTextSearchService
{
public:
    static constexpr int kWorkers = 4;
    static constexpr size_t kMaxHits = kFullTextHitsPerPage; // unless a higher limit is asked for

    explicit FullTextSearchService(pugi::xml_node root);
    // Several documents searched as one, in the order given.
    explicit FullTextSearchService(std::vector<pugi::xml_node> roots);
    ~FullTextSearchService();
    FullTextSearchService(const FullTextSearchService&) = delete;
    FullTextSearchService& operator=(const FullTextSearchService&) = delete;

    // Called on the user-interface thread every frame; never waits for a search, only for the lock.
    // At most `limit` hits are collected. Asking again with a higher limit keeps the hits found so
    // far, in their order, and searches on for hits not among them.
    Result<std::vector<Ref>> Search(std::string query, bool matchCase, size_t limit = kMaxHits);

    // The text around hit `index` of the current query; empty when there is no such hit.
    HitContext ContextOf(size_t index);

    static bool Contains(const char* text, const std::string& query, bool matchCase);

    std::vector<int> visitCounts;
    std::atomic<int> processed{0};
    int total = 0; // written once by the ready state, read for progress only

private:
    // What one search works on: copied by the service thread when it picks the query up, so the
    // user-interface thread may install the next query while the workers still read this one.
    struct Job
    {
        std::string query;
        bool matchCase = false;
        size_t limit = kMaxHits;
        uint64_t generation = 0;
        std::unordered_set<const void*> found; // hits kept from a search with a lower limit
    };

    void Run();
    void SearchRoots(int worker, const Job& job);
    int SearchNode(int worker, pugi::xml_node node, const Job& job); // the nodes it walked
    // `key` names the matching node or attribute, so that searching on never lists it twice.
    bool AppendHit(pugi::xml_node node, const void* key, HitContext context, const Job& job);
    static HitContext NodeContext(pugi::xml_node node, const char* text, const Job& job);
    static HitContext AttributeContext(pugi::xml_attribute attribute, const Job& job);
    bool Stale(uint64_t generation) const { return generation != this->generation.load() || !running; }

    std::atomic<bool> running{true};
    std::atomic<uint64_t> generation{0}; // one more per installed query; workers of older ones stop
    std::condition_variable condition;   // wakes the service thread: a query arrived, or destruction
    std::mutex mutex;
    bool idle = true;     // no query waits and no search of the current query runs
    bool pending = false; // installed, not yet picked up by the service thread
    std::string query;
    bool matchCase = false;
    size_t limit = kMaxHits;
    std::vector<Ref> results;
    std::vector<HitContext> contexts; // index for index with results
    std::vector<const void*> hitKeys; // index for index with results
    std::atomic<size_t> hitCount{0};  // copy of results.size() for the lock-free cap check
    std::vector<pugi::xml_node> roots;
    std::thread thread;
};
