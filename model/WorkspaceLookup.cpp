#include "model/WorkspaceLookup.h"

#include <stdexcept>

namespace {
// Any key whose slot agrees is taken for the same key: the node named confirms it.
constexpr auto kSameSlot = [](uint32_t) { return true; };
} // namespace

WorkspaceLookup::WorkspaceLookup(const std::vector<const Index*>& indexes)
{
    for (uint32_t i = 0; i < indexes.size(); ++i) {
        if (indexes[i])
            Add(i, *indexes[i]);
    }
}

void WorkspaceLookup::Add(uint32_t file, const Index& index)
{
    const uint32_t firstId = nextId;
    if (index.ElementCount() >= size_t(kNone - firstId))
        throw std::length_error("Too many names to index.");
    nextId += uint32_t(index.ElementCount());
    runs.push_back({firstId, file, &index});
    index.ForEachElement([&](uint32_t element, std::string_view name, uint64_t pathHash) {
        KeepFirst(paths, pathHash, firstId + element, firstId, file);
        KeepFirst(shortNames, ContinueIndexHash(kIndexHashSeed, name), firstId + element, firstId, file);
    });
    index.ForEachReferenceTextAsMet([&](std::string_view text, std::span<const pugi::xml_node> nodes) {
        const uint64_t hash = ReferenceTextHash(text);
        const uint32_t next = uint32_t(referenceEntries.size());
        uint32_t entry = references.FindOrInsert(
            hash, next, [&](uint32_t other) { return referenceEntries[other].hash == hash; });
        if (entry == next)
            referenceEntries.push_back({hash, text.data(), uint32_t(text.size())});
        ReferenceEntry& reference = referenceEntries[entry];
        if (reference.Text() == text)
            reference.count += nodes.size();
        else
            reference.sharedHash = 1;
    });
}

void WorkspaceLookup::KeepFirst(HashSlots& slots, uint64_t hash, uint32_t id, uint32_t ownFirstId,
                                uint32_t file)
{
    uint32_t kept = slots.FindOrInsert(hash, id, kSameSlot);
    // Ids below the file's own run belong to files added before it, in any workspace order.
    if (kept != id && kept < ownFirstId && CandidateOf(kept).file > file)
        slots.Replace(hash, kept, id);
}

WorkspaceLookup::Candidate WorkspaceLookup::CandidateOf(uint32_t id) const
{
    if (id == HashSlots::kNone)
        return {};
    // The last run starting at or before `id`, halving without a branch to mispredict: a lookup
    // lands on a file at random.
    const Run* run = runs.data();
    for (size_t n = runs.size(); n > 1;) {
        size_t half = n / 2;
        run = run[half].firstId <= id ? run + half : run;
        n -= half;
    }
    return {run->file, id - run->firstId, run->index};
}

WorkspaceLookup::Candidate WorkspaceLookup::FirstWithPath(std::string_view path) const
{
    return CandidateOf(paths.Find(ContinueIndexHash(kIndexHashSeed, path), kSameSlot));
}

WorkspaceLookup::Candidate WorkspaceLookup::FirstWithShortName(std::string_view name) const
{
    return CandidateOf(shortNames.Find(ContinueIndexHash(kIndexHashSeed, name), kSameSlot));
}

std::optional<size_t> WorkspaceLookup::ReferrerCount(std::string_view text) const
{
    const uint64_t hash = ReferenceTextHash(text);
    uint32_t entry =
        references.Find(hash, [&](uint32_t other) { return referenceEntries[other].hash == hash; });
    if (entry == HashSlots::kNone)
        return 0;
    const ReferenceEntry& reference = referenceEntries[entry];
    if (reference.sharedHash)
        return std::nullopt;
    return reference.Text() == text ? size_t(reference.count) : 0;
}
