#include "model/WorkspaceLookup.h"

#include <algorithm>

namespace {
// Any key whose slot agrees is taken for the same key: the index named confirms it.
constexpr auto kSameSlot = [](uint32_t) { return true; };
} // namespace

void WorkspaceLookup::FirstFileSlots::Add(uint64_t hash, uint32_t file)
{
    const uint32_t next = uint32_t(firstFile.size());
    uint32_t entry = slots.FindOrInsert(hash, next, kSameSlot);
    if (entry == next)
        firstFile.push_back(file);
    else
        firstFile[entry] = std::min(firstFile[entry], file);
}

uint32_t WorkspaceLookup::FirstFileSlots::Find(uint64_t hash) const
{
    uint32_t entry = slots.Find(hash, kSameSlot);
    return entry == HashSlots::kNone ? kNone : firstFile[entry];
}

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

WorkspaceLookup::WorkspaceLookup(const std::vector<const Index*>& indexes)
{
    for (uint32_t i = 0; i < indexes.size(); ++i) {
        if (indexes[i])
            Add(i, *indexes[i]);
    }
}

void WorkspaceLookup::Add(uint32_t file, const Index& index)
{
    index.ForEachElement([&](pugi::xml_node, std::string_view name, uint64_t pathHash) {
        paths.Add(pathHash, file);
        shortNames.Add(ContinueIndexHash(kIndexHashSeed, name), file);
    });
    index.ForEachReferenceTextAsMet([&](std::string_view text, std::span<const pugi::xml_node> nodes) {
        bool fresh = false;
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

uint32_t WorkspaceLookup::FirstWithPath(std::string_view path) const
{
    return paths.Find(ContinueIndexHash(kIndexHashSeed, path));
}

uint32_t WorkspaceLookup::FirstWithShortName(std::string_view name) const
{
    return shortNames.Find(ContinueIndexHash(kIndexHashSeed, name));
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
