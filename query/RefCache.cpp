#include "query/RefCache.h"

#include "document/CarriedHash.h"

uint64_t RefCache::Hash(std::string_view key)
{
    return CarriedHash::Of(key);
}

std::optional<Result<Ref>> RefCache::Find(std::string_view key, uint64_t hash) const
{
    uint32_t found = slots.Find(hash, [&](uint32_t id) { return entries[id].key == key; });
    if (found == HashSlots::kNone)
        return std::nullopt;
    const Entry& entry = entries[found];
    return entry.answer ? Found(entry.answer) : Result<Ref>::Error(missing);
}

Result<Ref> RefCache::Add(std::string_view key, uint64_t hash, Ref ref)
{
    auto answer = std::make_shared<Ref>(std::move(ref));
    const std::string& path = (*answer)->path;
    std::string_view kept = path.ends_with(key) ? std::string_view(path).substr(path.size() - key.size())
                                                : std::string_view(keptKeys.emplace_back(key));
    Store(kept, hash, answer);
    return Found(std::move(answer));
}

Result<Ref> RefCache::AddMissing(std::string key, uint64_t hash)
{
    Store(keptKeys.emplace_back(std::move(key)), hash, nullptr);
    return Result<Ref>::Error(missing);
}

Result<Ref> RefCache::Found(std::shared_ptr<Ref> answer)
{
    Result<Ref> result;
    result.status = ResultStatus::Done;
    result.value = std::move(answer);
    return result;
}

void RefCache::Store(std::string_view key, uint64_t hash, std::shared_ptr<Ref> answer)
{
    if (entries.size() >= HashSlots::kNone)
        return; // asked again, it is looked up again
    slots.FindOrInsert(hash, uint32_t(entries.size()), [](uint32_t) { return false; });
    entries.push_back({key, std::move(answer)});
}
