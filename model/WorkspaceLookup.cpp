#include "model/WorkspaceLookup.h"
#include "model/CarriedHash.h"

#include <stdexcept>

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
    runs.push_back({firstId, file, index.Elements()});
    // The blocks starting inside the new run: none of its ids is asked for before this.
    for (size_t block = runOfBlock.size(); (uint64_t(block) << kBlockBits) < nextId; ++block)
        runOfBlock.push_back(uint32_t(runs.size() - 1));
    const Index::ElementTable elements = index.Elements();
    index.ForEachElement([&](uint32_t element, std::string_view name, uint64_t pathHash) {
        const uint32_t id = firstId + element;
        // Met again mostly where files share a package: the path is spelled out only then.
        KeepFirst(paths, pathHash, id, firstId, file, [&](const Candidate& kept) {
            return kept.elements.PathEquals(kept.element, elements.PathOf(element));
        });
        KeepFirst(shortNames, CarriedHash::Of(name), id, firstId, file,
                  [&](const Candidate& kept) { return kept.elements.NameOf(kept.element) == name; });
    });
    index.ForEachReferenceTextAsMet([&](std::string_view text, std::span<const pugi::xml_node> nodes) {
        const uint64_t hash = ReferenceTextHash(text);
        ReferenceEntry& reference = ReferenceEntryFor(hash);
        if (!reference.text) {
            // An empty view may point nowhere; any non-null pointer marks the entry as taken.
            reference = {hash, text.data() ? text.data() : "", uint32_t(text.size())};
            ++referenceCount;
        }
        if (reference.Text() == text)
            reference.count += nodes.size();
        else
            reference.sharedHash = 1;
    });
}

template <class SameKey>
void WorkspaceLookup::KeepFirst(HashSlots& slots, uint64_t hash, uint32_t id, uint32_t ownFirstId,
                                uint32_t file, SameKey&& sameKey)
{
    uint32_t kept = slots.FindOrInsert(hash, id, [&](uint32_t other) { return sameKey(CandidateOf(other)); });
    // Ids below the file's own run belong to files added before it, in any workspace order.
    if (kept != id && kept < ownFirstId && CandidateOf(kept).file > file)
        slots.Replace(hash, kept, id);
}

WorkspaceLookup::Candidate WorkspaceLookup::CandidateOf(uint32_t id) const
{
    if (id == HashSlots::kNone)
        return {};
    // The last run starting at or before `id` lies between the runs holding the first ids of its
    // block and of the next, almost always the same run. Between them, halving without a branch to
    // mispredict: a lookup lands on a file at random.
    const size_t block = id >> kBlockBits;
    const Run* run = runs.data() + runOfBlock[block];
    const size_t last = block + 1 < runOfBlock.size() ? runOfBlock[block + 1] : runs.size() - 1;
    for (size_t n = last - runOfBlock[block] + 1; n > 1;) {
        size_t half = n / 2;
        run = run[half].firstId <= id ? run + half : run;
        n -= half;
    }
    return {run->file, id - run->firstId, run->elements};
}

template <class Matches>
WorkspaceLookup::Candidate WorkspaceLookup::FirstMatching(const HashSlots& slots, uint64_t hash,
                                                          Matches&& matches) const
{
    Candidate found;
    uint32_t id = slots.Find(hash, [&](uint32_t other) {
        found = CandidateOf(other);
        return matches(found);
    });
    return id == HashSlots::kNone ? Candidate() : found;
}

WorkspaceLookup::Candidate WorkspaceLookup::FirstWithPath(std::string_view path) const
{
    return FirstMatching(paths, CarriedHash::Of(path), [&](const Candidate& candidate) {
        return candidate.elements.PathEquals(candidate.element, path);
    });
}

WorkspaceLookup::Candidate WorkspaceLookup::FirstWithShortName(std::string_view name) const
{
    return FirstMatching(shortNames, CarriedHash::Of(name), [&](const Candidate& candidate) {
        return candidate.elements.NameOf(candidate.element) == name;
    });
}

std::optional<size_t> WorkspaceLookup::ReferrerCount(std::string_view text) const
{
    const ReferenceEntry* reference = FindReference(ReferenceTextHash(text));
    if (!reference)
        return 0;
    if (reference->sharedHash)
        return std::nullopt;
    return reference->Text() == text ? size_t(reference->count) : 0;
}

WorkspaceLookup::ReferenceEntry& WorkspaceLookup::ReferenceEntryFor(uint64_t hash)
{
    if ((referenceCount + 1) * 2 > references.size())
        GrowReferences();
    const size_t mask = references.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        if (!references[i].text || references[i].hash == hash)
            return references[i];
    }
}

const WorkspaceLookup::ReferenceEntry* WorkspaceLookup::FindReference(uint64_t hash) const
{
    if (references.empty())
        return nullptr;
    const size_t mask = references.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const ReferenceEntry& entry = references[i];
        if (!entry.text)
            return nullptr;
        if (entry.hash == hash)
            return &entry;
    }
}

void WorkspaceLookup::GrowReferences()
{
    TableVector<ReferenceEntry> old = std::move(references);
    references = TableVector<ReferenceEntry>(old.empty() ? 64 : old.size() * 2);
    const size_t mask = references.size() - 1;
    for (const ReferenceEntry& entry : old) {
        if (!entry.text)
            continue;
        size_t i = entry.hash & mask;
        while (references[i].text)
            i = (i + 1) & mask;
        references[i] = entry;
    }
}
