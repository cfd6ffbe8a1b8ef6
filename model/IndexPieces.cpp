#include "model/IndexPieces.h"

#include "model/NodeText.h"

namespace {
constexpr size_t kEnoughPieces = 256;
constexpr size_t kSplit = 16; // a run of siblings is cut into at most this many runs
constexpr int kMostRounds = 16;

size_t RunLength(pugi::xml_node first, pugi::xml_node end)
{
    size_t length = 0;
    for (pugi::xml_node cur = first; cur != end; cur = cur.next_sibling())
        ++length;
    return length;
}

// Appends the runs that cut [first, end) into at most kSplit parts, each a copy of `like`.
void AddRuns(pugi::xml_node first, pugi::xml_node end, const IndexPieceStart& like,
             std::vector<IndexPieceStart>& made, std::vector<uint32_t>& order)
{
    size_t per = (RunLength(first, end) + kSplit - 1) / kSplit;
    pugi::xml_node cur = first;
    while (cur != end) {
        pugi::xml_node stop = cur;
        for (size_t i = 0; i < per && stop != end; ++i)
            stop = stop.next_sibling();
        IndexPieceStart run = like;
        run.first = cur;
        run.end = stop;
        run.alone = false;
        made.push_back(run);
        order.push_back(uint32_t(made.size() - 1));
        cur = stop;
    }
}
} // namespace

IndexPieceList SplitIntoPieces(pugi::xml_node root, const CarriedHash& rootPath, const ReferenceBases* bases,
                               const std::atomic<bool>& stop)
{
    IndexPieceList list;
    // Pieces keep their place in `made` for good, so that they can name each other; `order`
    // lists them in document order and is redone each round.
    std::vector<IndexPieceStart> made{
        {root, root.next_sibling(), false, rootPath, IndexPieceStart::kNoPiece, ReferenceBases::kNoScope}};
    std::vector<uint32_t> order{0};
    for (int round = 0; round < kMostRounds && order.size() < kEnoughPieces; ++round) {
        if (stop.load(std::memory_order_relaxed))
            break;
        std::vector<uint32_t> next;
        bool cut = false;
        for (uint32_t id : order) {
            IndexPieceStart piece = made[id]; // a copy: `made` grows below
            if (piece.alone) {
                next.push_back(id);
                continue;
            }
            if (piece.first.next_sibling() != piece.end) { // a run of siblings: shorter runs
                AddRuns(piece.first, piece.end, piece, made, next);
                cut = true;
                continue;
            }
            pugi::xml_node node = piece.first;
            if (!node.first_child()) {
                next.push_back(id);
                continue;
            }
            // One subtree: the node alone, then its children as runs under its path and bases.
            made[id].alone = true;
            next.push_back(id);
            IndexPieceStart inner = piece;
            if (pugi::xml_node shortName = ShortNameChild(node)) {
                inner.path.Append("/");
                inner.path.Append(shortName.text().get());
                inner.parentPiece = id;
            }
            if (bases)
                inner.scope = bases->Enter(node, inner.path, piece.scope);
            AddRuns(node.first_child(), pugi::xml_node(), inner, made, next);
            cut = true;
        }
        order.swap(next);
        if (!cut)
            break;
    }

    std::vector<uint32_t> position(made.size());
    for (size_t i = 0; i < order.size(); ++i)
        position[order[i]] = uint32_t(i);
    list.starts.reserve(order.size());
    for (uint32_t id : order) {
        IndexPieceStart piece = made[id];
        if (piece.parentPiece != IndexPieceStart::kNoPiece)
            piece.parentPiece = position[piece.parentPiece];
        list.starts.push_back(piece);
    }
    return list;
}
