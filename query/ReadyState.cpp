#include "query/ReadyState.h"

#include "document/LoadingState.h"
#include "query/FullTextSearchService.h"

#include <stdexcept>

namespace {
const Result<std::vector<Ref>>& PendingRefsTo()
{
    static const Result<std::vector<Ref>> pending = Result<std::vector<Ref>>::Pending();
    return pending;
}

template <class Map, class Key>
const pugi::xml_node* Lookup(const Map& map, const Key& key)
{
    auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second;
}
} // namespace

ReadyState::ReadyState(std::string filePath, std::shared_ptr<pugi::xml_document> document,
                       std::shared_ptr<Index> index, std::shared_ptr<FullTextSearchService> searchService,
                       uint64_t nodeCount)
    : State(std::move(filePath), std::move(document)), lookupPool(2), index(std::move(index)), nodeCount(nodeCount),
      searchService(std::move(searchService))
{
    this->searchService->total = static_cast<int>(static_cast<uint32_t>(nodeCount));
}

ReadyState::~ReadyState() = default;

std::shared_ptr<State> ReadyState::Update()
{
    if (!pendingPath.empty())
        return std::make_shared<LoadingState>(pendingPath);
    return shared_from_this();
}

Result<Ref> ReadyState::FindRef(std::string path)
{
    if (auto cached = refCache.find(path); cached != refCache.end())
        return cached->second;
    const pugi::xml_node* node = Lookup(index->byPath, path);
    Result<Ref> answer = node ? Result<Ref>::Value(Ref(*node)) : Result<Ref>::Error("Invalid Reference");
    return refCache.emplace(std::move(path), std::move(answer)).first->second;
}

Result<Ref> ReadyState::FindShortName(std::string shortName)
{
    if (auto cached = shortNameCache.find(shortName); cached != shortNameCache.end())
        return cached->second;
    const pugi::xml_node* node = Lookup(index->byShortName, shortName);
    Result<Ref> answer =
        node ? Result<Ref>::Value(Ref(*node)) : Result<Ref>::Error("Could not find such an element.");
    return shortNameCache.emplace(std::move(shortName), std::move(answer)).first->second;
}

Result<std::vector<Ref>> ReadyState::FindRefsTo(std::string path)
{
    if (auto cached = refsToCache.find(path); cached != refsToCache.end())
        return cached->second;
    if (auto pending = pendingRefsTo.find(path); pending != pendingRefsTo.end()) {
        if (!pending->second.IsReady())
            return PendingRefsTo();
        Result<std::vector<Ref>> answer;
        try {
            answer = Result<std::vector<Ref>>::Value(pending->second.Get());
        } catch (const std::exception& e) {
            answer = Result<std::vector<Ref>>::Error(e.what());
        }
        pendingRefsTo.erase(pending);
        return refsToCache.emplace(std::move(path), std::move(answer)).first->second;
    }
    pendingRefsTo.emplace(path, lookupPool.Submit(&ReadyState::CollectReferrers, this, path));
    return PendingRefsTo();
}

Result<std::vector<Ref>> ReadyState::FullTextSearch(std::string query, bool matchCase)
{
    return searchService->Search(std::move(query), matchCase);
}

Result<size_t> ReadyState::CountRefsTo(std::string path)
{
    auto it = index->referrers.find(path);
    return Result<size_t>::Value(it == index->referrers.end() ? 0 : it->second.size());
}

std::vector<Ref> ReadyState::CollectReferrers(std::string path)
{
    auto it = index->referrers.find(path);
    if (it == index->referrers.end())
        throw std::runtime_error("No nodes reference this element.");
    std::vector<Ref> refs;
    refs.reserve(it->second.size());
    for (pugi::xml_node node : it->second)
        refs.emplace_back(node);
    return refs;
}
