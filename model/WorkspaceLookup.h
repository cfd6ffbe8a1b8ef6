#pragma once

#include "model/HashSlots.h"
#include "model/Index.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Which of several indexes (the files of a workspace, numbered in workspace order) first holds a
// key, and which of its named nodes, found with one probe however many indexes there are. Paths and
// short names are never spelled out to be kept: a slot holds 32 bits of its key's hash and the
// number of a node, and a key is confirmed against that node's own path or name, when the table is
// filled as when it is asked, so that each slot names the first node (first index, then document
// order) holding exactly its key. Filled file by file, in any order (each as soon as it is loaded),
// by one thread at a time; read-only afterwards.
class WorkspaceLookup
{
public:
    static constexpr uint32_t kNone = HashSlots::kNone;

    // A named node of one index, by its number there (see Index::ForEachElement).
    struct Candidate
    {
        uint32_t file = kNone;
        uint32_t element = 0;
        Index::ElementTable elements; // the file's own

        explicit operator bool() const { return file != kNone; }
    };

    WorkspaceLookup() = default;
    // `indexes` in workspace order, null for a file that failed.
    explicit WorkspaceLookup(const std::vector<const Index*>& indexes);

    // Takes in the keys of file number `file`. The index must outlive the lookup.
    void Add(uint32_t file, const Index& index);

    // The first node holding exactly this element path, or short name: no index before its own
    // holds it, nor does any node before it in its own index. None when no index holds it.
    Candidate FirstWithPath(std::string_view path) const;
    Candidate FirstWithShortName(std::string_view name) const;
    // The nodes of every index holding exactly `text`, or nothing when another text shares its hash
    // and only the indexes themselves can tell.
    std::optional<size_t> ReferrerCount(std::string_view text) const;

private:
    // Node ids number the named nodes of all indexes, each index's as one run in the order added.
    struct Run
    {
        uint32_t firstId;
        uint32_t file;
        Index::ElementTable elements;
    };

    // Keeps `id` under `hash` unless a slot already names a node of an earlier file, or an earlier
    // node of the same file, for which `sameKey(candidate)` holds; `ownFirstId` is the first id of
    // the file being added.
    template <class SameKey>
    void KeepFirst(HashSlots& slots, uint64_t hash, uint32_t id, uint32_t ownFirstId, uint32_t file,
                   SameKey&& sameKey);
    Candidate CandidateOf(uint32_t id) const;
    // The node that `slots` names under `hash` for which `matches(candidate)` holds, if any.
    template <class Matches>
    Candidate FirstMatching(const HashSlots& slots, uint64_t hash, Matches&& matches) const;

    // Reference texts by their 64-bit hash, each entry in the table itself: a count reads the entry
    // its probe lands on, one cache miss fewer than a slot naming an entry kept elsewhere. The text
    // is the one the first index to bring it keeps. Aligned to 32 bytes, so that reading one never
    // takes two cache lines.
    struct alignas(32) ReferenceEntry
    {
        uint64_t hash = 0;
        const char* text = nullptr; // null: a free entry
        uint32_t length = 0;
        uint32_t sharedHash = 0; // another text has the same hash
        uint64_t count = 0;

        std::string_view Text() const { return {text, length}; }
    };

    // The entry holding `hash`, or the free one where it belongs (growing the table first).
    ReferenceEntry& ReferenceEntryFor(uint64_t hash);
    const ReferenceEntry* FindReference(uint64_t hash) const;
    void GrowReferences();

    // Ids come in blocks of 2^kBlockBits; each block names the run holding its first id, so a
    // lookup finds its run in one step (a run search of its own would be several dependent loads
    // on the way of every lookup, each waiting for the last).
    static constexpr unsigned kBlockBits = 8;

    std::vector<Run> runs; // by firstId
    std::vector<uint32_t> runOfBlock;
    uint32_t nextId = 0;
    HashSlots paths;                        // node ids
    HashSlots shortNames;                   // node ids
    TableVector<ReferenceEntry> references; // open addressing, a power of two long, at most half full
    size_t referenceCount = 0;
};
