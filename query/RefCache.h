#pragma once

#include "document/Result.h"
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
// as a copy kept here. Each entry sits in the table itself and takes 32 bytes, so a repeated
// question reads one slot, then the key's bytes and the answer's count of owners, and growing
// the table stays cheap. Not thread-safe: one thread asks.
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
        const char* key = nullptr; // null: a free slot
        uint32_t keyLength = 0;
        uint32_t hashBits = 0;       // the hash's low half: the slot, and compared before the key
        std::shared_ptr<Ref> answer; // null: the key's error
    };

    Result<Ref> AnswerOf(const Entry& entry) const;
    static Result<Ref> Found(std::shared_ptr<Ref> answer);
    void Store(std::string_view key, uint64_t hash, std::shared_ptr<Ref> answer);
    size_t Home(uint32_t hashBits) const { return hashBits & (table.size() - 1); }
    void Grow();

    std::string missing;
    std::vector<Entry> table; // open addressing, a power of two long, at most half full
    size_t count = 0;
    std::deque<std::string> keptKeys;
};
