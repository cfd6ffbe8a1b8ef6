#pragma once

#include "document/DocumentMemory.h"
#include "model/HashSlots.h"
#include "model/Index.h"

#include <pugixml.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Which of several indexes of whole documents (the files of a workspace, numbered in workspace
// order) first holds a key, and which of its named nodes, found with one probe however many indexes
// there are. A slot holds 32 bits of its key's hash and the number of a node, and a key is confirmed
// against that node's own path or name, when the table is filled as when it is asked, so that each
// slot names the first node (first index, then document order) holding exactly its key.
//
// Confirming a key reads the names up one chain of nodes, and a count reads one reference text.
// The lookup keeps its own copies of those names and texts, every file's side by side: read from
// each file's own index and document, the same reads land in a region of memory of their own for
// every file, and on a large folder took a fifth longer each than in one file of the same size.
// Filled file by file, in any order (each as soon as it is loaded), by one thread at a time;
// read-only afterwards.
class WorkspaceLookup
{
public:
    static constexpr uint32_t kNone = HashSlots::kNone;

    // A named node of one of the indexes; `id` numbers the named nodes of all of them.
    struct Found
    {
        uint32_t file = kNone;
        uint32_t id = kNone;
        pugi::xml_node node;

        explicit operator bool() const { return id != kNone; }
    };

    WorkspaceLookup() = default;
    // `indexes` in workspace order, null for a file that failed.
    explicit WorkspaceLookup(const std::vector<const Index*>& indexes);

    // Takes in the keys of file number `file`, whose index covers a whole document. The nodes
    // found must outlive the lookup; the index itself is not read afterwards.
    void Add(uint32_t file, const Index& index);
    // Room for `times` as many names, paths and reference texts as the lookup holds, for a caller
    // that can tell how much is still to come (the bytes of a folder's other files): the tables
    // then take the rest in without being copied or rehashed as they grow. Short names repeat
    // across files, so their table grows as before.
    void Expect(double times);

    // The first node holding exactly this element path, or short name: no index before its own
    // holds it, nor does any node before it in its own index. None when no index holds it.
    Found FirstWithPath(std::string_view path) const;
    Found FirstWithShortName(std::string_view name) const;
    // The element path of a node found above, spelled out.
    std::string PathOf(uint32_t id) const;
    // The nodes of every index holding exactly `text`.
    size_t ReferrerCount(std::string_view text) const;

private:
    // A named node as the lookup keeps it: 16 bytes, so that reading one never takes two cache lines.
    struct alignas(16) Named
    {
        pugi::xml_node node;
        uint32_t parent; // nearest named ancestor's id, or kNone
        uint32_t nameAt; // into `names`
    };

    // The node ids of one file: a run, in the order added.
    struct Run
    {
        uint32_t firstId;
        uint32_t file;
    };

    std::string_view NameOf(uint32_t id) const;
    bool PathEquals(uint32_t id, std::string_view path) const;
    bool SamePath(uint32_t a, uint32_t b) const;
    uint32_t FileOf(uint32_t id) const;
    Found FoundAt(uint32_t id) const;
    void KeepName(uint32_t parent, pugi::xml_node node, std::string_view name);

    // Keeps `id` under `hash` unless a slot already names a node of an earlier file, or an earlier
    // node of the same file, for which `sameKey(kept)` holds; `ownFirstId` is the first id of the
    // file being added.
    template <class SameKey>
    void KeepFirst(HashSlots& slots, uint64_t hash, uint32_t id, uint32_t ownFirstId, uint32_t file,
                   SameKey&& sameKey);

    // A reference text with the nodes of every index holding it; its text is copied into `texts`
    // for the reason names are.
    struct ReferenceEntry
    {
        uint64_t count;
        uint32_t textAt; // into `texts`
        uint32_t length;
    };

    std::string_view TextOf(uint32_t reference) const
    {
        return {texts.data() + references[reference].textAt, references[reference].length};
    }

    // Ids come in blocks of 2^kBlockBits; each block names the run holding its first id, so that
    // finding a node's file takes one step instead of a search over the runs.
    static constexpr unsigned kBlockBits = 8;
    // How many keys ahead of its turn filling fetches a key's slot.
    static constexpr size_t kFetchAhead = 8;

    std::vector<Run> runs; // by firstId
    std::vector<uint32_t> runOfBlock;
    TableVector<Named> named;               // by id
    TableVector<char> names;                // each a length (seven bits a byte, low first), then its bytes
    TableVector<char> texts;                // the reference texts, one after another
    HashSlots paths;                        // node ids
    HashSlots shortNames;                   // node ids
    TableVector<ReferenceEntry> references; // by id
    HashSlots referenceSlots;               // ids of `references`
};
