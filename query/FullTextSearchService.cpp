#include "query/FullTextSearchService.h"

#include "concurrency/ThreadStart.h"
#include "concurrency/WakeHook.h"
#include "model/NodeText.h"

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
        }
        query = std::move(newQuery);
        matchCase = newMatchCase;
        limit = newLimit;
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
        Job job{query, matchCase, limit, generation.load()};
        if (job.query.empty()) {
            idle = true;
            continue;
        }
        spanHits.assign(kWorkers, {});
        spanDone.assign(kWorkers, false);
        for (std::atomic<size_t>& count : spanCounts)
            count = 0;
        publishedSpan = publishedHit = publishedPlace = 0;
        lock.unlock();

        if (spans.empty())
            MakeSpans();
        std::vector<std::thread> workers;
        workers.reserve(kWorkers);
        std::vector<int> notStarted;
        for (int i = 0; i < kWorkers; ++i) {
            visitCounts[i] = 0;
            try {
                workers.push_back(StartThread([this, i, &job] { SearchSpan(i, job); }));
            } catch (const std::system_error&) {
                notStarted.push_back(i); // its span is searched here instead
            }
        }
        for (int i : notStarted)
            SearchSpan(i, job);
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

namespace {
// The node after `node` in pre-order within the tree of `root`; null after its last node.
pugi::xml_node NextInOrder(pugi::xml_node node, pugi::xml_node root)
{
    if (pugi::xml_node child = node.first_child())
        return child;
    for (; node != root; node = node.parent()) {
        if (pugi::xml_node sibling = node.next_sibling())
            return sibling;
    }
    return {};
}
} // namespace

void FullTextSearchService::MakeSpans()
{
    size_t total = 0;
    for (pugi::xml_node root : roots) {
        for (pugi::xml_node node = root; node && running; node = NextInOrder(node, root))
            ++total;
    }
    spans.assign(kWorkers, Span{});
    size_t at = 0;
    int next = 0;
    for (size_t r = 0; r < roots.size() && next < kWorkers; ++r) {
        for (pugi::xml_node node = roots[r]; node && next < kWorkers;
             node = NextInOrder(node, roots[r]), ++at) {
            while (next < kWorkers && at == total * next / kWorkers) {
                spans[next] = Span{r, node, total * (next + 1) / kWorkers - at};
                ++next;
            }
        }
    }
}

bool FullTextSearchService::Enough(int worker, const Job& job) const
{
    size_t found = 0;
    for (int i = 0; i <= worker; ++i)
        found += spanCounts[i].load();
    return found >= job.limit;
}

void FullTextSearchService::Publish(const Job& job)
{
    while (publishedSpan < spanHits.size()) {
        const std::vector<Hit>& hits = spanHits[publishedSpan];
        for (; publishedHit < hits.size(); ++publishedHit, ++publishedPlace) {
            if (publishedPlace < results.size())
                continue; // listed already, before the limit was raised
            if (results.size() >= job.limit)
                return;
            results.push_back(hits[publishedHit].ref);
            contexts.push_back(hits[publishedHit].context);
        }
        if (!spanDone[publishedSpan])
            return;
        ++publishedSpan;
        publishedHit = 0;
    }
}

bool FullTextSearchService::AppendHit(int worker, pugi::xml_node node, HitContext context, const Job& job)
{
    Hit hit{Ref(node), std::move(context)};
    {
        std::lock_guard<std::mutex> lock(mutex);
        // A newer query emptied the list under this lock; hits of the old one must not reach it.
        if (job.generation != generation.load())
            return false;
        spanHits[worker].push_back(std::move(hit));
        spanCounts[worker] = spanHits[worker].size();
        Publish(job);
    }
    WakeUserInterface();
    return true;
}

// Walks the worker's span in document order. Without a stack: any nesting depth is fine.
void FullTextSearchService::SearchSpan(int worker, const Job& job)
{
    const std::string& query = job.query;
    const bool matchCase = job.matchCase;
    const Span span = spans[worker];
    size_t root = span.root;
    pugi::xml_node current = span.first;
    int visits = 0;
    int unpublished = 0;
    bool stopped = false;
    for (size_t i = 0; i < span.count && !stopped; ++i) {
        if (Enough(worker, job) || Stale(job.generation))
            break;
        ++visits;
        if (++unpublished == kProgressBatch) {
            processed += unpublished;
            unpublished = 0;
        }
        const char* text = NodeText(current);
        if (Contains(text, query, matchCase) || Contains(current.name(), query, matchCase))
            stopped = !AppendHit(worker, current, NodeContext(current, text, job), job);
        for (pugi::xml_attribute a = current.first_attribute(); a && !stopped; a = a.next_attribute()) {
            if (Contains(a.name(), query, matchCase) || Contains(a.value(), query, matchCase))
                stopped = !AppendHit(worker, current, AttributeContext(a, job), job);
        }
        current = NextInOrder(current, roots[root]);
        if (!current && ++root < roots.size())
            current = roots[root];
    }
    processed += unpublished;
    visitCounts[worker] = visits;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (job.generation != generation.load())
            return;
        spanDone[worker] = true;
        Publish(job);
    }
    WakeUserInterface();
}
