#pragma once

#include "document/Result.h"
#include "model/Ref.h"
#include "query/HitContext.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Searches the whole document on its own threads: one service thread that waits for a new query
// and four workers per search, each of which takes one quarter of the nodes in document order. The
// hits are listed in document order, the same on every run: a quarter's hits are shown once every
// quarter before it has been searched through. A new query never waits for the old walk: the walk
// stops at its next node and the service thread starts the new one.
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
    // At most `limit` hits are listed: the first ones in document order (the documents in the order
    // given). Asking again with a higher limit keeps the hits listed so far and adds those after them.
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
    };
    struct Hit
    {
        Ref ref;
        HitContext context;
    };
    // A run of consecutive nodes in document order, searched by one worker.
    struct Span
    {
        size_t root = 0;
        pugi::xml_node first;
        size_t count = 0;
    };

    void Run();
    // Splits the nodes of all roots into kWorkers spans of nearly equal size; once per service.
    void MakeSpans();
    void SearchSpan(int worker, const Job& job);
    bool AppendHit(int worker, pugi::xml_node node, HitContext context, const Job& job);
    // Whether the spans up to `worker` have at least the limit's hits between them, so that any
    // further hit of this span would lie beyond the limit.
    bool Enough(int worker, const Job& job) const;
    // Under the lock: lists the hits whose place is settled, those of spans all of whose earlier
    // spans are finished.
    void Publish(const Job& job);
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
    // The current run's hits per span, which spans are finished, and how far Publish has come
    // (span, hit within it, place of that hit in document order).
    std::vector<std::vector<Hit>> spanHits;
    std::vector<bool> spanDone;
    std::array<std::atomic<size_t>, kWorkers> spanCounts{}; // sizes of spanHits, read without the lock
    size_t publishedSpan = 0;
    size_t publishedHit = 0;
    size_t publishedPlace = 0;
    std::vector<pugi::xml_node> roots;
    std::vector<Span> spans; // made and read by the service thread and its workers only
    std::thread thread;
};
