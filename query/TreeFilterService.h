#pragma once

#include "document/Result.h"
#include "query/TreeFilter.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Runs the tree filter on a thread of its own. The latest query wins: asking for another one
// cancels the walk in progress, so typing never queues up work.
class TreeFilterService
{
public:
    // `roots`: the document, or the documents of a folder; `nodeCount`: their nodes together.
    TreeFilterService(std::vector<pugi::xml_node> roots, uint64_t nodeCount);
    ~TreeFilterService();
    TreeFilterService(const TreeFilterService&) = delete;
    TreeFilterService& operator=(const TreeFilterService&) = delete;

    // Called on the user-interface thread every frame; never waits for the walk. Pending until the
    // walk starts, Partial (the match count so far, progress 0..1) while it runs, then Done, or an
    // Error for a regular expression that does not compile.
    Result<TreeFilterMatches> Filter(const TreeFilterQuery& query);

private:
    struct Job;
    void Run();

    const std::vector<pugi::xml_node> roots;
    const uint64_t nodeCount;
    std::shared_ptr<Job> current; // user-interface thread only
    std::mutex mutex;
    std::condition_variable wake;
    std::shared_ptr<Job> queued;               // guarded by mutex
    std::vector<std::shared_ptr<Job>> retired; // replaced jobs the thread is to free; guarded by mutex
    bool stopping = false;                     // guarded by mutex
    std::thread thread;
};
