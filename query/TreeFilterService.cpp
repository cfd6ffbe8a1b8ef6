#include "query/TreeFilterService.h"

struct TreeFilterService::Job
{
    explicit Job(TreeFilterQuery query) : query(std::move(query)) {}

    const TreeFilterQuery query;
    std::atomic<bool> cancel{false};
    std::atomic<bool> started{false};
    std::atomic<uint64_t> visited{0};
    std::atomic<size_t> matched{0};
    std::mutex mutex;
    bool done = false;                // guarded by mutex
    Result<TreeFilterMatches> answer; // guarded by mutex
};

TreeFilterService::TreeFilterService(std::vector<pugi::xml_node> roots, uint64_t nodeCount)
    : roots(std::move(roots)), nodeCount(nodeCount), thread(&TreeFilterService::Run, this)
{}

TreeFilterService::~TreeFilterService()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        if (current)
            current->cancel = true;
    }
    wake.notify_one();
    thread.join();
}

Result<TreeFilterMatches> TreeFilterService::Filter(const TreeFilterQuery& query)
{
    if (!current || current->query != query) {
        auto job = std::make_shared<Job>(query);
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (current) {
                current->cancel = true;
                // Its answer may be large: freed by the filter's thread, not this one.
                retired.push_back(std::move(current));
            }
            queued = job;
        }
        current = std::move(job);
        wake.notify_one();
    }
    {
        std::lock_guard<std::mutex> lock(current->mutex);
        if (current->done)
            return current->answer;
    }
    if (!current->started)
        return Result<TreeFilterMatches>::Pending();
    TreeFilterMatches soFar;
    soFar.matchCount = current->matched.load(std::memory_order_relaxed);
    const double walked = double(current->visited.load(std::memory_order_relaxed));
    return Result<TreeFilterMatches>::Partial(std::move(soFar),
                                              nodeCount ? std::min(1.0, walked / double(nodeCount)) : 0.0);
}

void TreeFilterService::Run()
{
    for (;;) {
        std::shared_ptr<Job> job;
        std::vector<std::shared_ptr<Job>> oldJobs;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return stopping || queued; });
            if (stopping)
                return;
            job = std::move(queued);
            oldJobs.swap(retired);
        }
        oldJobs.clear();
        job->started = true;
        Result<TreeFilterMatches> answer;
        auto matcher = std::make_shared<const TreeFilterMatcher>(job->query);
        if (!matcher->Error().empty()) {
            answer = Result<TreeFilterMatches>::Error(matcher->Error());
        } else {
            auto matches = std::make_shared<TreeFilterMatches>(
                FilterTree(roots, *matcher, job->cancel, job->visited, job->matched));
            matches->matcher = std::move(matcher);
            answer.value = std::move(matches);
            answer.status = ResultStatus::Done;
        }
        if (job->cancel)
            continue; // a newer query replaced it; nobody reads this answer
        std::lock_guard<std::mutex> lock(job->mutex);
        job->answer = std::move(answer);
        job->done = true;
    }
}
