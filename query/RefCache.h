#pragma once

#include "document/Result.h"
#include "model/HashSlots.h"
#include "model/Ref.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Final answers naming one element, kept for a document's lifetime and asked for again on every
// frame. A key is hashed once per question and stored once: as a view into its answer's own
// element path where the path holds it (a path, or the short name a path ends with), otherwise
// as a copy kept here. Not thread-safe: one thread asks.
class RefCache
{
public:
    // `missing`: the error message of every key stored without an answer.
    explicit RefCache(std::string missing) : missing(std::move(missing)) {}

    static uint64_t Hash(std::string_view key);

    // The answer stored under `key` (whose Hash is `hash`), if any.
    std::optional<Result<Ref>> Find(std::string_view key, uint64_t hash) const;

    // Stores `ref` under `key`, which is not stored yet. A key that ends ref's own path (a path,
    // or the short name a path ends with) is kept as a view into that path, any other as a copy.
    Result<Ref> Add(std::string_view key, uint64_t hash, Ref ref);
    // Stores the error for a key that is not stored yet.
    Result<Ref> AddMissing(std::string key, uint64_t hash);

private:
    struct Entry
    {
        std::string_view key;
        std::shared_ptr<Ref> answer; // null: the key's error
    };

    static Result<Ref> Found(std::shared_ptr<Ref> answer);
    void Store(std::string_view key, uint64_t hash, std::shared_ptr<Ref> answer);

    std::string missing;
    std::vector<Entry> entries;
    HashSlots slots; // ids of `entries`
    std::deque<std::string> keptKeys;
};
