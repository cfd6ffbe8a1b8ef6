#pragma once

#include "document/Result.h"
#include "model/Ref.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Searches the whole document on its own threads: one service thread that picks up the latest
// query every 100 ms, and four workers per search that split the nodes between them.
class FullTextSearchService
{
public:
    static constexpr int kWorkers = 4;
    static constexpr size_t kMaxHits = 100;

    explicit FullTextSearchService(pugi::xml_node root);
    ~FullTextSearchService();
    FullTextSearchService(const FullTextSearchService&) = delete;
    FullTextSearchService& operator=(const FullTextSearchService&) = delete;

    // Called on the user-interface thread every frame; blocks only to install a new query.
    Result<std::vector<Ref>> Search(std::string query, bool matchCase);

    static bool Contains(const char* text, const std::string& query, bool matchCase);

    std::vector<int> visitCounts;
    std::atomic<int> processed{0};
    int total = 0; // written once by the ready state, read for progress only

private:
    void Run();
    void SearchNode(int worker, pugi::xml_node node);
    bool AppendHit(pugi::xml_node node);

    std::atomic<bool> running{true};
    std::atomic<bool> cancel{false};
    std::atomic<bool> searching{false};
    std::condition_variable condition;
    std::mutex mutex;
    bool idle = true;
    std::string query;
    bool matchCase = false;
    std::vector<Ref> results;
    std::atomic<size_t> hitCount{0}; // copy of results.size() for the lock-free cap check
    std::condition_variable wake;    // ends the service thread's sleep early at destruction
    pugi::xml_node root;
    std::thread thread;
};
