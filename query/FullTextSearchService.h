#pragma once

#include "document/Result.h"
#include "model/Ref.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Searches the whole document on its own threads: one service thread that waits for a new query
// and four workers per search that split the nodes between them. A new query never waits for the
// old walk: the walk stops at its next node and the service thread starts the new one.
class FullTextSearchService
{
public:
    static constexpr int kWorkers = 4;
    static constexpr size_t kMaxHits = 100;

    explicit FullTextSearchService(pugi::xml_node root);
    ~FullTextSearchService();
    FullTextSearchService(const FullTextSearchService&) = delete;
    FullTextSearchService& operator=(const FullTextSearchService&) = delete;

    // Called on the user-interface thread every frame; never waits for a search, only for the lock.
    Result<std::vector<Ref>> Search(std::string query, bool matchCase);

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
        uint64_t generation = 0;
    };

    void Run();
    void SearchNode(int worker, pugi::xml_node node, const Job& job);
    bool AppendHit(pugi::xml_node node, uint64_t generation);
    bool Stale(uint64_t generation) const { return generation != this->generation.load() || !running; }

    std::atomic<bool> running{true};
    std::atomic<uint64_t> generation{0}; // one more per installed query; workers of older ones stop
    std::condition_variable condition;   // wakes the service thread: a query arrived, or destruction
    std::mutex mutex;
    bool idle = true;     // no query waits and no search of the current query runs
    bool pending = false; // installed, not yet picked up by the service thread
    std::string query;
    bool matchCase = false;
    std::vector<Ref> results;
    std::atomic<size_t> hitCount{0}; // copy of results.size() for the lock-free cap check
    pugi::xml_node root;
    std::thread thread;
};
