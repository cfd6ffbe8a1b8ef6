#pragma once

#include "model/HashSlots.h"
#include "model/Index.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Which of several indexes (the files of a workspace, numbered in workspace order) first holds a
// key, found with one probe however many indexes there are. Paths and short names are kept as
// nothing but the 32 bits of their hash that a slot holds, never spelled out, so a key found here
// is a candidate that the named index confirms: keys whose slots agree share the slot, which names
// the first index holding any of them. Filled file by file, in any order (each as soon as it is
// loaded), by one thread at a time; read-only afterwards.
class WorkspaceLookup
{
public:
    static constexpr uint32_t kNone = HashSlots::kNone;

    WorkspaceLookup() = default;
    // `indexes` in workspace order, null for a file that failed.
    explicit WorkspaceLookup(const std::vector<const Index*>& indexes);

    // Takes in the keys of file number `file`. The index must outlive the lookup.
    void Add(uint32_t file, const Index& index);

    // The first index holding an element path, or a short name, with the hash of the one given;
    // no index before it holds the key itself.
    uint32_t FirstWithPath(std::string_view path) const;
    uint32_t FirstWithShortName(std::string_view name) const;
    // The nodes of every index holding exactly `text`, or nothing when another text shares its hash
    // and only the indexes themselves can tell.
    std::optional<size_t> ReferrerCount(std::string_view text) const;

private:
    // The lowest file number of each slot.
    class FirstFileSlots
    {
    public:
        void Add(uint64_t hash, uint32_t file);
        uint32_t Find(uint64_t hash) const;

    private:
        HashSlots slots;
        std::vector<uint32_t> firstFile; // by slot entry
    };

    // Entry ids by 64-bit hash: an entry per distinct hash, numbered in order of insertion.
    class HashTable
    {
    public:
        // The entry of `hash`, made when missing; `fresh` says whether it was.
        uint32_t Insert(uint64_t hash, bool& fresh);
        uint32_t Find(uint64_t hash) const;

    private:
        std::vector<uint64_t> hashes; // by entry
        HashSlots slots;
    };

    struct ReferenceEntry
    {
        std::string_view text; // as the first index to bring it keeps it
        size_t count = 0;
        bool sharedHash = false; // another text has the same hash
    };

    FirstFileSlots paths;
    FirstFileSlots shortNames;
    HashTable references;
    std::vector<ReferenceEntry> referenceEntries;
};
