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
// old walk: the walk stops at its next node and the service thread starts the new one. Hits are
// listed in document order (the roots in the order given), and the limit keeps the first ones,
// whichever worker happens to find them first.
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

    // Where a hit lies in document order: the root's number and the node's place in its walk
    // (`node`), then 0 for the node itself or 1 + the attribute's number (`part`).
    struct Place
    {
        uint64_t node = 0;
        uint32_t part = 0;
        auto operator<=>(const Place&) const = default;
    };
    static uint64_t NodePlace(size_t root, int visit) { return (uint64_t(root) << 40) | uint64_t(visit); }

    void Run();
    void SearchRoots(int worker, const Job& job);
    int SearchNode(int worker, size_t rootNumber, pugi::xml_node node, const Job& job); // the nodes it walked
    // `key` names the matching node or attribute, so that searching on never lists it twice. False
    // when the hit comes after every kept one of a full list: the worker has nothing more to add.
    bool AddHit(pugi::xml_node node, const void* key, Place place, HitContext context, const Job& job);
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
    std::vector<Ref> results;         // in document order
    std::vector<HitContext> contexts; // index for index with results
    std::vector<const void*> hitKeys; // index for index with results
    std::vector<Place> places;        // index for index with results
    // The node of the last kept hit once the list is full, else the greatest value: nodes after
    // it cannot get in, so a worker that passed it stops (read without the lock).
    std::atomic<uint64_t> cutoff{UINT64_MAX};
    std::vector<pugi::xml_node> roots;
    std::thread thread;
};
