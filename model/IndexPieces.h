#pragma once

#include "model/ChunkedList.h"
#include "model/Index.h"
#include "model/ReferenceBases.h"

#include <pugixml.hpp>

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// Where one piece of the document starts: either a single node alone (its children are pieces of
// their own) or a run of whole sibling subtrees. The pieces, taken in order, visit every node of
// the document once, in document order.
struct IndexPieceStart
{
    static constexpr uint32_t kNoPiece = UINT32_MAX;

    pugi::xml_node first;
    pugi::xml_node end; // the sibling after the run, or a null node
    bool alone;
    CarriedHash path;            // of the path that the piece's paths extend
    uint32_t parentPiece;        // the nearest named node above `first`, as a lone piece, or kNoPiece
    ReferenceBases::Scope scope; // the package whose reference bases are in force at `first`
};

struct IndexPieceList
{
    std::vector<IndexPieceStart> starts; // in document order
};

// What the walks found, one set of lists per walking thread: each thread appends the pieces it
// takes one after another, so a few large lists grow instead of one small list per piece, and
// they are freed at once instead of piece by piece.
struct IndexFindings
{
    static constexpr uint32_t kOuterParent = UINT32_MAX - 1; // the piece's `parentPiece`

    struct Referrer
    {
        pugi::xml_node node;
        const char* text;
        uint32_t length;
        bool relative; // `text` is the absolute text the node's relative reference names
        uint64_t hash;
    };

    ChunkedList<Index::Element> elements; // parents are indexes into this list, or kOuterParent
    ChunkedList<uint64_t> pathHashes;     // per element
    ChunkedList<uint64_t> nameHashes;     // per element
    ChunkedList<Referrer> referrers;
};

// Where the findings of one piece lie, in document order, and what else its walk gave.
struct IndexPiece
{
    uint64_t nodes = 0;
    uint32_t thread = 0; // whose IndexFindings
    uint32_t elementsBegin = 0;
    uint32_t elementsEnd = 0;
    uint32_t referrersBegin = 0;
    uint32_t referrersEnd = 0;
    std::deque<std::string> resolvedTexts; // a deque keeps the texts in place as it grows
    std::vector<Index::UnresolvedReference> unresolved;
};

// Cuts the subtree of `root` into enough pieces for the cores to share the walk evenly, looking
// only at the few nodes near the top. With `bases`, each piece records the package scope at its start.
IndexPieceList SplitIntoPieces(pugi::xml_node root, const CarriedHash& rootPath, const ReferenceBases* bases,
                               const std::atomic<bool>& stop);
