#include "model/WorkspaceLookup.h"
#include "document/CarriedHash.h"
#include "model/ElementChain.h"

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
    if (!index.RootPath().empty())
        throw std::invalid_argument("A workspace lookup takes indexes of whole documents.");
    const uint32_t firstId = uint32_t(named.size());
    if (index.ElementCount() >= size_t(kNone - firstId))
        throw std::length_error("Too many names to index.");
    runs.push_back({firstId, file});
    // The blocks starting inside the new run: none of its ids is asked for before this.
    for (size_t block = runOfBlock.size(); (uint64_t(block) << kBlockBits) < firstId + index.ElementCount();
         ++block)
        runOfBlock.push_back(uint32_t(runs.size() - 1));
    // A file's keys land on slots far apart: their hashes are taken first, so that each slot can
    // be fetched a few keys ahead of its turn instead of being waited for.
    struct NameHashes
    {
        uint64_t path, name;
    };
    std::vector<NameHashes> hashes;
    hashes.reserve(index.ElementCount());
    index.ForEachElement([&](uint32_t element, uint32_t parent, uint64_t pathHash) {
        const std::string_view name = index.NameOf(element);
        KeepName(parent == Index::kNoElement ? kNone : firstId + parent, index.NodeOf(element), name);
        hashes.push_back({pathHash, CarriedHash::Of(name)});
    });
    for (uint32_t element = 0; element < hashes.size(); ++element) {
        if (element + kFetchAhead < hashes.size()) {
            paths.Prefetch(hashes[element + kFetchAhead].path);
            shortNames.Prefetch(hashes[element + kFetchAhead].name);
        }
        const uint32_t id = firstId + element;
        KeepFirst(paths, hashes[element].path, id, firstId, file,
                  [&](uint32_t kept) { return SamePath(kept, id); });
        KeepFirst(shortNames, hashes[element].name, id, firstId, file,
                  [&](uint32_t kept) { return NameOf(kept) == NameOf(id); });
    }

    struct Text
    {
        uint64_t hash;
        std::string_view text;
        size_t count;
    };
    std::vector<Text> found;
    found.reserve(index.ReferenceTextCount());
    index.ForEachReferenceTextAsMet([&](std::string_view text, std::span<const pugi::xml_node> nodes) {
        found.push_back({CarriedHash::Of(text), text, nodes.size()});
    });
    for (size_t i = 0; i < found.size(); ++i) {
        if (i + kFetchAhead < found.size())
            referenceSlots.Prefetch(found[i + kFetchAhead].hash);
        const std::string_view text = found[i].text; // not a structured binding: clang 14 cannot capture one
        const uint32_t added = uint32_t(references.size());
        if (added == kNone || texts.size() + text.size() > UINT32_MAX)
            throw std::length_error("Too many reference texts to index.");
        uint32_t kept =
            referenceSlots.FindOrInsert(found[i].hash, added, [&](uint32_t r) { return TextOf(r) == text; });
        if (kept == added) {
            references.push_back({0, uint32_t(texts.size()), uint32_t(text.size())});
            texts.insert(texts.end(), text.begin(), text.end());
        }
        references[kept].count += found[i].count;
    }
}

void WorkspaceLookup::Expect(double times)
{
    auto scaled = [times](size_t held) { return size_t(double(held) * times); };
    named.reserve(scaled(named.size()));
    names.reserve(scaled(names.size()));
    texts.reserve(scaled(texts.size()));
    references.reserve(scaled(references.size()));
    paths.Reserve(scaled(paths.Size()));
}

void WorkspaceLookup::KeepName(uint32_t parent, pugi::xml_node node, std::string_view name)
{
    if (names.size() + name.size() + 8 > UINT32_MAX)
        throw std::length_error("Too many names to index.");
    named.push_back({node, parent, uint32_t(names.size())});
    size_t length = name.size();
    for (; length >= 0x80; length >>= 7)
        names.push_back(char(0x80 | (length & 0x7f)));
    names.push_back(char(length));
    names.insert(names.end(), name.begin(), name.end());
}

std::string_view WorkspaceLookup::NameOf(uint32_t id) const
{
    const unsigned char* at = reinterpret_cast<const unsigned char*>(names.data()) + named[id].nameAt;
    size_t length = 0;
    for (unsigned shift = 0;; shift += 7) {
        length |= size_t(*at & 0x7f) << shift;
        if (!(*at++ & 0x80))
            break;
    }
    return {reinterpret_cast<const char*>(at), length};
}

static_assert(WorkspaceLookup::kNone == kChainEnd);

bool WorkspaceLookup::PathEquals(uint32_t id, std::string_view path) const
{
    return ChainPathEquals(
        id, path, "", [&](uint32_t n) { return NameOf(n); }, [&](uint32_t n) { return named[n].parent; });
}

// Name by name up both chains; a shared ancestor means the rest is the same.
bool WorkspaceLookup::SamePath(uint32_t a, uint32_t b) const
{
    for (; a != b; a = named[a].parent, b = named[b].parent) {
        if (a == kNone || b == kNone || NameOf(a) != NameOf(b))
            return false;
    }
    return true;
}

std::string WorkspaceLookup::PathOf(uint32_t id) const
{
    return ChainPath(
        id, "", [&](uint32_t n) { return NameOf(n); }, [&](uint32_t n) { return named[n].parent; });
}

template <class SameKey>
void WorkspaceLookup::KeepFirst(HashSlots& slots, uint64_t hash, uint32_t id, uint32_t ownFirstId,
                                uint32_t file, SameKey&& sameKey)
{
    uint32_t kept = slots.FindOrInsert(hash, id, sameKey);
    // Ids below the file's own run belong to files added before it, in any workspace order.
    if (kept != id && kept < ownFirstId && FileOf(kept) > file)
        slots.Replace(hash, kept, id);
}

uint32_t WorkspaceLookup::FileOf(uint32_t id) const
{
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
    return run->file;
}

WorkspaceLookup::Found WorkspaceLookup::FoundAt(uint32_t id) const
{
    if (id == kNone)
        return {};
    return {FileOf(id), id, named[id].node};
}

WorkspaceLookup::Found WorkspaceLookup::FirstWithPath(std::string_view path) const
{
    return FoundAt(paths.Find(CarriedHash::Of(path), [&](uint32_t id) { return PathEquals(id, path); }));
}

WorkspaceLookup::Found WorkspaceLookup::FirstWithShortName(std::string_view name) const
{
    return FoundAt(shortNames.Find(CarriedHash::Of(name), [&](uint32_t id) { return NameOf(id) == name; }));
}

size_t WorkspaceLookup::ReferrerCount(std::string_view text) const
{
    uint32_t found =
        referenceSlots.Find(CarriedHash::Of(text), [&](uint32_t r) { return TextOf(r) == text; });
    return found == kNone ? 0 : size_t(references[found].count);
}
