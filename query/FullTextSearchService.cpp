#include "query/FullTextSearchService.h"

#include "concurrency/ThreadStart.h"
#include "model/NodeText.h"

#include <array>
#include <chrono>
#include <cstring>
#include <system_error>

namespace {
constexpr auto kPollInterval = std::chrono::milliseconds(100);
constexpr int kProgressBatch = 64; // nodes a worker examines before it publishes them to `processed`

// toupper in the "C" locale: only a-z change.
constexpr std::array<unsigned char, 256> MakeUpperTable()
{
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return table;
}
constexpr std::array<unsigned char, 256> kUpper = MakeUpperTable();

bool ContainsFolded(const unsigned char* text, size_t textLength, const unsigned char* query, size_t queryLength)
{
    const unsigned char first = kUpper[query[0]];
    for (size_t i = 0; i + queryLength <= textLength; ++i) {
        if (kUpper[text[i]] != first)
            continue;
        size_t k = 1;
        while (k < queryLength && kUpper[text[i + k]] == kUpper[query[k]])
            ++k;
        if (k == queryLength)
            return true;
    }
    return false;
}
} // namespace

FullTextSearchService::FullTextSearchService(pugi::xml_node root) : visitCounts(kWorkers, 0), root(root)
{
    thread = StartThread([this] { Run(); });
}

FullTextSearchService::~FullTextSearchService()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        running = false;
    }
    wake.notify_all();
    thread.join();
}

bool FullTextSearchService::Contains(const char* text, const std::string& query, bool matchCase)
{
    if (query.empty())
        return false;
    size_t textLength = std::strlen(text);
    if (textLength < query.size())
        return false;
    if (matchCase)
        return std::string_view(text, textLength).find(query) != std::string_view::npos;
    return ContainsFolded(reinterpret_cast<const unsigned char*>(text), textLength,
                          reinterpret_cast<const unsigned char*>(query.data()), query.size());
}

Result<std::vector<Ref>> FullTextSearchService::Search(std::string newQuery, bool newMatchCase)
{
    // Only this thread writes `query` and `matchCase`, so reading them here needs no lock.
    if (newQuery == query && newMatchCase == matchCase) {
        std::lock_guard<std::mutex> lock(mutex);
        double progress = 0.0;
        if (total != 0) {
            progress = double(processed.load()) / double(total);
            progress = std::max(progress, double(results.size()) * 0.01);
        }
        if (searching || (!idle && !query.empty()))
            return Result<std::vector<Ref>>::Partial(results, progress);
        return Result<std::vector<Ref>>::Value(results);
    }

    cancel = true;
    std::unique_lock<std::mutex> lock(mutex);
    condition.wait(lock, [this] { return idle; });
    processed = 0;
    query = std::move(newQuery);
    matchCase = newMatchCase;
    results.clear();
    hitCount = 0;
    cancel = false;
    idle = false;
    return Result<std::vector<Ref>>::Partial({}, 0.0);
}

void FullTextSearchService::Run()
{
    if (!running)
        return;
    for (;;) {
        auto deadline = std::chrono::steady_clock::now() + kPollInterval;
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait_until(lock, deadline, [this] { return !running; });
        if (!running)
            return;
        if (idle || cancel) {
            idle = true;
            condition.notify_all();
            continue;
        }
        std::string current = query;
        lock.unlock();
        if (current.empty())
            continue;

        searching = true;
        std::vector<std::thread> workers;
        workers.reserve(kWorkers);
        std::vector<int> notStarted;
        for (int i = 0; i < kWorkers; ++i) {
            visitCounts[i] = 0;
            try {
                workers.push_back(StartThread([this, i] { SearchNode(i, root); }));
            } catch (const std::system_error&) {
                notStarted.push_back(i); // its share is searched here instead
            }
        }
        for (int i : notStarted)
            SearchNode(i, root);
        for (auto& worker : workers)
            worker.join();
        searching = false;
        lock.lock();
        idle = true;
    }
}

bool FullTextSearchService::AppendHit(pugi::xml_node node)
{
    Ref hit(node);
    std::lock_guard<std::mutex> lock(mutex);
    if (results.size() >= kMaxHits)
        return false;
    results.push_back(std::move(hit));
    hitCount = results.size();
    return true;
}

// Every worker walks the whole tree in document order and examines every fourth node, so each
// node is examined by exactly one worker. Explicit stack: any nesting depth is fine.
void FullTextSearchService::SearchNode(int worker, pugi::xml_node node)
{
    int visits = 0;
    int unpublished = 0;
    std::vector<pugi::xml_node> stack; // next sibling to visit at each open level
    pugi::xml_node current = node;
    bool stopped = false;
    while (current && !stopped) {
        if (hitCount.load() >= kMaxHits || cancel || !running)
            break;
        ++visits;
        if (visits % kWorkers == worker) {
            if (++unpublished == kProgressBatch) {
                processed += unpublished;
                unpublished = 0;
            }
            if (Contains(NodeText(current), query, matchCase) || Contains(current.name(), query, matchCase))
                stopped = !AppendHit(current);
            for (pugi::xml_attribute a = current.first_attribute(); a && !stopped; a = a.next_attribute()) {
                if (Contains(a.name(), query, matchCase) || Contains(a.value(), query, matchCase))
                    stopped = !AppendHit(current);
            }
        }
        // Next in pre-order: first child, else the next sibling of the nearest open level.
        if (pugi::xml_node child = current.first_child()) {
            stack.push_back(current == node ? pugi::xml_node() : current.next_sibling());
            current = child;
            continue;
        }
        current = current == node ? pugi::xml_node() : current.next_sibling();
        while (!current && !stack.empty()) {
            current = stack.back();
            stack.pop_back();
        }
    }
    processed += unpublished;
    visitCounts[worker] = visits;
}
