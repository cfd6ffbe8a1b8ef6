#include "model/WorkspaceLookup.h"

uint32_t WorkspaceLookup::HashTable::Insert(uint64_t hash, bool& fresh)
{
    const uint32_t next = uint32_t(hashes.size());
    uint32_t id = slots.FindOrInsert(hash, next, [&](uint32_t entry) { return hashes[entry] == hash; });
    fresh = id == next;
    if (fresh)
        hashes.push_back(hash);
    return id;
}

uint32_t WorkspaceLookup::HashTable::Find(uint64_t hash) const
{
    return slots.Find(hash, [&](uint32_t entry) { return hashes[entry] == hash; });
}

namespace {
// Any key whose slot agrees is taken for the same key: the index named confirms it.
constexpr auto kSameSlot = [](uint32_t) { return true; };
} // namespace

// The indexes are taken in workspace order, so the first to insert a hash is the first to hold it.
WorkspaceLookup::WorkspaceLookup(const std::vector<const Index*>& indexes)
{
    for (uint32_t i = 0; i < indexes.size(); ++i) {
        if (!indexes[i])
            continue;
        indexes[i]->ForEachElement([&](pugi::xml_node, std::string_view name, uint64_t pathHash) {
            pathFirst.FindOrInsert(pathHash, i, kSameSlot);
            shortNameFirst.FindOrInsert(ContinueIndexHash(kIndexHashSeed, name), i, kSameSlot);
        });
        bool fresh = false;
        indexes[i]->ForEachReferenceTextAsMet(
            [&](std::string_view text, std::span<const pugi::xml_node> nodes) {
                uint32_t entry = references.Insert(ContinueIndexHash(kIndexHashSeed, text), fresh);
                if (fresh)
                    referenceEntries.push_back({text});
                ReferenceEntry& reference = referenceEntries[entry];
                if (reference.text == text)
                    reference.count += nodes.size();
                else
                    reference.sharedHash = true;
            });
    }
}

uint32_t WorkspaceLookup::FirstWithPath(std::string_view path) const
{
    return pathFirst.Find(ContinueIndexHash(kIndexHashSeed, path), kSameSlot);
}

uint32_t WorkspaceLookup::FirstWithShortName(std::string_view name) const
{
    return shortNameFirst.Find(ContinueIndexHash(kIndexHashSeed, name), kSameSlot);
}

std::optional<size_t> WorkspaceLookup::ReferrerCount(std::string_view text) const
{
    uint32_t entry = references.Find(ContinueIndexHash(kIndexHashSeed, text));
    if (entry == HashSlots::kNone)
        return 0;
    const ReferenceEntry& reference = referenceEntries[entry];
    if (reference.sharedHash)
        return std::nullopt;
    return reference.text == text ? reference.count : 0;
}
