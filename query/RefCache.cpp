#include "query/RefCache.h"

#include "document/StringKeyMap.h"

uint64_t RefCache::Hash(std::string_view key)
{
    return StringKeyHash{}(key);
}

std::optional<Result<Ref>> RefCache::Find(std::string_view key, uint64_t hash) const
{
    if (table.empty())
        return std::nullopt;
    for (size_t i = Home(uint32_t(hash));; i = (i + 1) & (table.size() - 1)) {
        const Entry& entry = table[i];
        if (!entry.key)
            return std::nullopt;
        if (entry.hashBits == uint32_t(hash) && entry.keyLength == key.size()) {
            // Its count of owners is raised next: load it while the key is compared.
            __builtin_prefetch(entry.answer.get(), 1);
            if (std::string_view(entry.key, entry.keyLength) == key)
                return AnswerOf(entry);
        }
    }
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

Result<Ref> RefCache::AnswerOf(const Entry& entry) const
{
    return entry.answer ? Found(entry.answer) : Result<Ref>::Error(missing);
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
    if (key.size() > UINT32_MAX)
        return; // asked again, it is looked up again
    if ((count + 1) * 2 > table.size())
        Grow();
    size_t i = Home(uint32_t(hash));
    while (table[i].key)
        i = (i + 1) & (table.size() - 1);
    // A view of an empty key may have no bytes to point at; any non-null pointer will do.
    table[i] = {key.data() ? key.data() : missing.c_str(), uint32_t(key.size()), uint32_t(hash),
                std::move(answer)};
    ++count;
}

void RefCache::Grow()
{
    std::vector<Entry> old = std::move(table);
    table = std::vector<Entry>(old.empty() ? 64 : old.size() * 2);
    for (Entry& entry : old) {
        if (!entry.key)
            continue;
        size_t i = Home(entry.hashBits);
        while (table[i].key)
            i = (i + 1) & (table.size() - 1);
        table[i] = std::move(entry);
    }
}
