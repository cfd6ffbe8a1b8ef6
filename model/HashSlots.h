#pragma once

#include "document/DocumentMemory.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// An open-addressing table of ids, keyed by a 64-bit hash of something the caller keeps. Each slot
// holds 32 bits of the hash beside the id, so almost every mismatch is turned away without looking
// at the key; `equal(id)` confirms the rest. Nothing is ever removed.
class HashSlots
{
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    template <class Equal> uint32_t Find(uint64_t hash, Equal&& equal) const
    {
        if (slots.empty())
            return kNone;
        uint32_t tag = Tag(hash);
        for (size_t i = Home(tag);; i = (i + 1) & Mask()) {
            uint64_t slot = slots[i];
            if (slot == 0)
                return kNone;
            uint32_t id = uint32_t(slot) - 1;
            if (uint32_t(slot >> 32) == tag && equal(id))
                return id;
        }
    }

    // The id already stored under an equal key, or `id` after storing it.
    template <class Equal> uint32_t FindOrInsert(uint64_t hash, uint32_t id, Equal&& equal)
    {
        if ((count + 1) * 2 > slots.size())
            Grow();
        uint32_t tag = Tag(hash);
        for (size_t i = Home(tag);; i = (i + 1) & Mask()) {
            uint64_t slot = slots[i];
            if (slot == 0) {
                slots[i] = (uint64_t(tag) << 32) | (uint64_t(id) + 1);
                ++count;
                return id;
            }
            uint32_t existing = uint32_t(slot) - 1;
            if (uint32_t(slot >> 32) == tag && equal(existing))
                return existing;
        }
    }

    // Stores `newId` in place of `oldId`, which must be stored under `hash`.
    void Replace(uint64_t hash, uint32_t oldId, uint32_t newId)
    {
        const uint64_t old = (uint64_t(Tag(hash)) << 32) | (uint64_t(oldId) + 1);
        size_t i = Home(Tag(hash));
        while (slots[i] != old)
            i = (i + 1) & Mask();
        slots[i] = (old & ~uint64_t(UINT32_MAX)) | (uint64_t(newId) + 1);
    }

    size_t Size() const { return count; }

    // Room for `expected` ids without growing, for a caller that knows how many will come.
    void Reserve(size_t expected);

    // Starts loading the slot where a search for `hash` begins, ahead of the search itself.
    void Prefetch(uint64_t hash) const
    {
        if (!slots.empty())
            __builtin_prefetch(&slots[Home(Tag(hash))]);
    }

    // Every stored id, in no particular order.
    template <class Visit> void ForEach(Visit&& visit) const
    {
        for (uint64_t slot : slots) {
            if (slot != 0)
                visit(uint32_t(slot) - 1);
        }
    }

private:
    // The slot index comes from the tag's top bits, so growing needs nothing but the tags.
    static uint32_t Tag(uint64_t hash)
    {
        hash ^= hash >> 33; // murmur's finaliser: every input bit reaches the top bits
        hash *= 0xff51afd7ed558ccdull;
        hash ^= hash >> 33;
        hash *= 0xc4ceb9fe1a85ec53ull;
        hash ^= hash >> 33;
        return uint32_t(hash >> 32);
    }
    size_t Home(uint32_t tag) const { return tag >> (32 - bits); }
    size_t Mask() const { return slots.size() - 1; }
    void Grow();
    void Rehash(unsigned newBits);

    TableVector<uint64_t> slots; // (tag << 32) | (id + 1); 0 is an empty slot
    size_t count = 0;
    unsigned bits = 0;
};
