#include "query/FullTextSearchService.h"

#include "concurrency/ThreadStart.h"
#include "concurrency/WakeHook.h"
#include "model/NodeText.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>

namespace {
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

bool ContainsFolded(const unsigned char* text, size_t textLength, const unsigned char* query,
                    size_t queryLength)
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

// A match in the text shows the text around it; one in the tag name shows the tag.
HitContext FullTextSearchService::NodeContext(pugi::xml_node node, const char* text, const Job& job)
{
    if (std::optional<size_t> at = FindQuery(text, job.query, job.matchCase))
        return ContextAround(text, *at, job.query.size());
    const std::string tag = std::string("<") + node.name() + ">";
    const std::optional<size_t> at = FindQuery(tag, job.query, job.matchCase);
    return at ? ContextAround(tag, *at, job.query.size()) : HitContext{};
}

// name="value", with the match in either part.
HitContext FullTextSearchService::AttributeContext(pugi::xml_attribute attribute, const Job& job)
{
    const std::string name = attribute.name();
    const char* value = attribute.value();
    if (std::optional<size_t> at = FindQuery(value, job.query, job.matchCase)) {
        HitContext context = ContextAround(value, *at, job.query.size());
        if (context.before.size() == *at)
            context.before = name + "=\"" + context.before;
        return context;
    }
    // Only as much of the value as the context can show: it may be huge.
    const std::string text =
        name + "=\"" + std::string(std::string_view(value).substr(0, HitContext::kSide)) + "\"";
    const std::optional<size_t> at = FindQuery(name, job.query, job.matchCase);
    return at ? ContextAround(text, *at, job.query.size()) : HitContext{};
}

FullTextSearchService::FullTextSearchService(pugi::xml_node root)
    : FullTextSearchService(std::vector<pugi::xml_node>{root})
{}

FullTextSearchService::FullTextSearchService(std::vector<pugi::xml_node> roots)
    : visitCounts(kWorkers, 0), roots(std::move(roots))
{
    thread = StartThread([this] { Run(); });
}

FullTextSearchService::~FullTextSearchService()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        running = false;
    }
    condition.notify_all();
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

Result<std::vector<Ref>> FullTextSearchService::Search(std::string newQuery, bool newMatchCase,
                                                       size_t newLimit)
{
    newLimit = std::max<size_t>(newLimit, 1);
    // Only this thread writes `query`, `matchCase` and `limit`, so reading them here needs no lock.
    const bool sameQuery = newQuery == query && newMatchCase == matchCase;
    if (sameQuery && newLimit == limit) {
        std::lock_guard<std::mutex> lock(mutex);
        double progress = 0.0;
        if (total != 0 && !pending) {
            progress = double(processed.load()) / double(total);
            progress = std::max(progress, double(results.size()) * (1.0 / double(limit)));
        }
        if (!idle && !query.empty())
            return Result<std::vector<Ref>>::Partial(results, progress);
        return Result<std::vector<Ref>>::Value(results);
    }

    std::vector<Ref> kept;
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++generation; // the running walk, if any, stops at its next node
        // A higher limit for the same query searches on; anything else starts afresh.
        if (!sameQuery || newLimit < limit) {
            results.clear();
            contexts.clear();
            hitKeys.clear();
            places.clear();
        }
        query = std::move(newQuery);
        matchCase = newMatchCase;
        limit = newLimit;
        cutoff = UINT64_MAX; // the list is emptied, or may grow
        kept = results;
        processed = 0;
        idle = false;
        pending = true;
    }
    condition.notify_all();
    return Result<std::vector<Ref>>::Partial(std::move(kept), 0.0);
}

HitContext FullTextSearchService::ContextOf(size_t index)
{
    std::lock_guard<std::mutex> lock(mutex);
    return index < contexts.size() ? contexts[index] : HitContext{};
}

void FullTextSearchService::Run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        condition.wait(lock, [this] { return pending || !running; });
        if (!running)
            return;
        pending = false;
        // Nodes counted by an older walk while it unwound do not belong to this one; that walk has
        // been joined, so nothing adds to the count until the new workers start.
        processed = 0;
        Job job{query, matchCase, limit, generation.load(), {hitKeys.begin(), hitKeys.end()}};
        if (job.query.empty()) {
            idle = true;
            continue;
        }
        lock.unlock();

        std::vector<std::thread> workers;
        workers.reserve(kWorkers);
        std::vector<int> notStarted;
        for (int i = 0; i < kWorkers; ++i) {
            visitCounts[i] = 0;
            try {
                workers.push_back(StartThread([this, i, &job] { SearchRoots(i, job); }));
            } catch (const std::system_error&) {
                notStarted.push_back(i); // its share is searched here instead
            }
        }
        for (int i : notStarted)
            SearchRoots(i, job);
        for (auto& worker : workers)
            worker.join();

        lock.lock();
        if (!Stale(job.generation))
            idle = true;
        lock.unlock();
        WakeUserInterface();
        lock.lock();
    }
}

bool FullTextSearchService::AddHit(pugi::xml_node node, const void* key, Place place, HitContext context,
                                   const Job& job)
{
    if (job.found.count(key))
        return true; // listed before the limit was raised
    Ref hit(node);
    {
        std::lock_guard<std::mutex> lock(mutex);
        // A newer query emptied the list under this lock; hits of the old one must not reach it.
        if (job.generation != generation.load())
            return false;
        const bool full = results.size() >= job.limit;
        if (full && place > places.back())
            return false;
        const size_t at = std::upper_bound(places.begin(), places.end(), place) - places.begin();
        results.insert(results.begin() + at, std::move(hit));
        contexts.insert(contexts.begin() + at, std::move(context));
        hitKeys.insert(hitKeys.begin() + at, key);
        places.insert(places.begin() + at, place);
        if (full) { // a later hit makes room for this earlier one
            results.pop_back();
            contexts.pop_back();
            hitKeys.pop_back();
            places.pop_back();
        }
        if (results.size() >= job.limit)
            cutoff = places.back().node;
    }
    WakeUserInterface();
    return true;
}

void FullTextSearchService::SearchRoots(int worker, const Job& job)
{
    int visits = 0;
    for (size_t r = 0; r < roots.size(); ++r)
        visits += SearchNode(worker, r, roots[r], job);
    visitCounts[worker] = visits;
}

// Every worker walks the whole tree in document order and examines every fourth node, so each
// node is examined by exactly one worker. Explicit stack: any nesting depth is fine.
int FullTextSearchService::SearchNode(int worker, size_t rootNumber, pugi::xml_node node, const Job& job)
{
    const std::string& query = job.query;
    const bool matchCase = job.matchCase;
    int visits = 0;
    int unpublished = 0;
    std::vector<pugi::xml_node> stack; // next sibling to visit at each open level
    pugi::xml_node current = node;
    bool stopped = false;
    while (current && !stopped) {
        if (NodePlace(rootNumber, visits + 1) > cutoff.load() || Stale(job.generation))
            break;
        ++visits;
        if (visits % kWorkers == worker) {
            if (++unpublished == kProgressBatch) {
                processed += unpublished;
                unpublished = 0;
            }
            const char* text = NodeText(current);
            const uint64_t place = NodePlace(rootNumber, visits);
            if (Contains(text, query, matchCase) || Contains(current.name(), query, matchCase))
                stopped = !AddHit(current, current.internal_object(), Place{place, 0},
                                  NodeContext(current, text, job), job);
            uint32_t part = 0;
            for (pugi::xml_attribute a = current.first_attribute(); a && !stopped; a = a.next_attribute()) {
                ++part;
                if (Contains(a.name(), query, matchCase) || Contains(a.value(), query, matchCase))
                    stopped = !AddHit(current, a.internal_object(), Place{place, part},
                                      AttributeContext(a, job), job);
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
    return visits;
}
