#include "model/IndexBuilder.h"

#include "concurrency/ThreadStart.h"
#include "model/IndexPieces.h"
#include "model/NodeText.h"
#include "model/ReferenceBases.h"

#include <exception>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <vector>

namespace {
// Pre-order over the subtree of `root` with an explicit stack (any nesting depth). `Visit` does
// the work for one node and says whether to descend; `Mark`/`Restore` let a visitor undo what a
// node added to its running state once the node's subtree is done.
template <class Visitor> void PreOrder(pugi::xml_node root, Visitor& visitor)
{
    using Mark = decltype(visitor.Mark());
    struct Frame
    {
        pugi::xml_node nextChild;
        Mark mark;
    };
    std::vector<Frame> stack;
    stack.reserve(64);
    Mark rootMark = visitor.Mark();
    if (!visitor.Visit(root))
        return;
    stack.push_back({root.first_child(), rootMark});
    while (!stack.empty()) {
        // A stopped visitor refuses every node, but a list of many siblings would still be walked.
        if (visitor.Stopped())
            return;
        Frame& top = stack.back();
        if (!top.nextChild) {
            visitor.Restore(top.mark);
            stack.pop_back();
            continue;
        }
        pugi::xml_node child = top.nextChild;
        top.nextChild = child.next_sibling();
        Mark before = visitor.Mark();
        // Most nodes are leaves (texts above all): they are done without a frame of their own.
        pugi::xml_node grandchild;
        if (visitor.Visit(child) && (grandchild = child.first_child()))
            stack.push_back({grandchild, before});
        else
            visitor.Restore(before);
    }
}

uint32_t CheckedLength(size_t length)
{
    if (length >= UINT32_MAX)
        throw std::length_error("A name or reference is too long to index.");
    return uint32_t(length);
}

template <class Vector> void Release(Vector& vector)
{
    Vector().swap(vector);
}

// One look at a node's children gives both its short name and its text.
struct NodeFacts
{
    pugi::xml_node shortName;
    const char* text = "";
};

NodeFacts FactsOf(pugi::xml_node node)
{
    NodeFacts facts;
    pugi::xml_node_type type = node.type();
    if (type == pugi::node_pcdata)
        return facts; // neither named nor a holder of a reference of its own
    if (type == pugi::node_cdata) {
        facts.text = node.value();
        return facts;
    }
    if (type != pugi::node_element) {
        facts.shortName = ShortNameChild(node); // the document node may carry one
        return facts;
    }
    pugi::xml_node textChild;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        pugi::xml_node_type childType = child.type();
        if (childType == pugi::node_element) {
            if (!facts.shortName && IsShortNameTag(child.name())) {
                facts.shortName = child;
                if (textChild)
                    break;
            }
        } else if (childType == pugi::node_pcdata || childType == pugi::node_cdata) {
            if (!textChild) {
                textChild = child;
                if (facts.shortName)
                    break;
            }
        }
    }
    // An element keeps a value of its own only under parse options the loader does not use; the
    // text accessor then answers with it, and so does this.
    facts.text = *node.value() ? node.text().get() : textChild.value();
    return facts;
}
} // namespace

// Walks one piece of the document and lists what it finds, in document order, without touching
// the shared tables: named nodes with their hashes, and nodes holding reference texts.
class PieceWalker
{
public:
    struct Mark
    {
        uint64_t pathHash;
        uint32_t parent;
        size_t bases;
    };

    PieceWalker(IndexPiece& out, const IndexPieceStart& start, const std::atomic<bool>& stop,
                const ReferenceBases* bases)
        : out(out), stop(stop), current{start.pathHash, IndexPiece::kOuterParent, 0}
    {
        if (bases) {
            ownBases = *bases;
            this->bases = &*ownBases;
            current.bases = ownBases->Mark();
        }
    }

    bool Stopped() const { return stop.load(std::memory_order_relaxed); }
    Mark Mark() const { return current; }
    void Restore(const struct Mark& mark)
    {
        current = mark;
        if (bases)
            bases->Restore(mark.bases);
    }

    bool Visit(pugi::xml_node node)
    {
        ++out.nodes;
        if (stop.load(std::memory_order_relaxed))
            return false;
        NodeFacts facts = FactsOf(node);
        if (facts.shortName)
            AddNamed(node, facts.shortName.text().get());
        const char* text = facts.text;
        if (bases && node.type() == pugi::node_element) {
            bases->Enter(node);
            current.bases = bases->Mark();
            if (!IsReferenceText(text)) {
                if (std::optional<std::string> resolved = bases->Resolve(node, text))
                    AddRelative(node, std::move(*resolved));
                return true;
            }
        }
        if (IsReferenceText(text))
            AddReferrer(node, text, false);
        return true;
    }

private:
    void AddNamed(pugi::xml_node node, const char* name)
    {
        // One pass over the name gives its own hash and the path's, carried on from the parent's.
        uint64_t nameHash = kIndexHashSeed;
        uint64_t pathHash = ContinueIndexHash(current.pathHash, "/");
        const char* end = name;
        for (; *end; ++end) {
            nameHash = (nameHash ^ static_cast<unsigned char>(*end)) * 1099511628211ull;
            pathHash = (pathHash ^ static_cast<unsigned char>(*end)) * 1099511628211ull;
        }
        uint32_t id = uint32_t(out.elements.size());
        out.elements.push_back({node, name, CheckedLength(size_t(end - name)), current.parent});
        out.pathHashes.push_back(pathHash);
        out.nameHashes.push_back(nameHash);
        current.pathHash = pathHash;
        current.parent = id;
    }

    void AddReferrer(pugi::xml_node node, const char* text, bool relative)
    {
        std::string_view key(text);
        out.referrers.push_back({node, text, CheckedLength(key.size()), relative, ReferenceTextHash(key)});
    }

    // The resolved text is kept with the piece, since the document holds only the relative one.
    void AddRelative(pugi::xml_node node, std::string resolved)
    {
        AddReferrer(node, out.resolvedTexts.emplace_back(std::move(resolved)).c_str(), true);
    }

    IndexPiece& out;
    const std::atomic<bool>& stop;
    std::optional<ReferenceBases> ownBases;
    ReferenceBases* bases = nullptr;
    struct Mark current;
};

// Puts the pieces' findings into the index, in document order, so that the first node in document
// order keeps every key exactly as one walk over the whole document would have it.
class IndexAssembler
{
public:
    IndexAssembler(Index& index, std::string rootPath, std::vector<IndexPiece>& pieces,
                   const std::vector<IndexPieceStart>& starts)
        : index(index), pieces(pieces), starts(starts)
    {
        index.rootPath = std::move(rootPath);
    }

    // The element table, the paths and the short names.
    void AssembleNamed()
    {
        std::vector<uint32_t> offsets(pieces.size());
        size_t total = 0;
        for (size_t p = 0; p < pieces.size(); ++p) {
            offsets[p] = uint32_t(total);
            total += pieces[p].elements.size();
            if (total >= UINT32_MAX)
                throw std::length_error("Too many names to index.");
        }
        index.elements.reserve(total);
        for (size_t p = 0; p < pieces.size(); ++p) {
            uint32_t outer = starts[p].parentPiece == IndexPieceStart::kNoPiece
                                 ? Index::kNoParent
                                 : offsets[starts[p].parentPiece]; // a lone named node is its piece's first
            for (Index::Element element : pieces[p].elements) {
                element.parent =
                    element.parent == IndexPiece::kOuterParent ? outer : element.parent + offsets[p];
                index.elements.push_back(element);
            }
            Release(pieces[p].elements);
        }
        index.pathSlots.Reserve(total);
        std::string path;
        uint32_t id = 0;
        for (IndexPiece& piece : pieces) {
            const std::vector<uint64_t>& hashes = piece.pathHashes;
            for (size_t i = 0; i < hashes.size(); ++i, ++id) {
                if (i + kAhead < hashes.size())
                    index.pathSlots.Prefetch(hashes[i + kAhead]);
                index.pathSlots.FindOrInsert(hashes[i], id, [&](uint32_t other) {
                    path = index.PathOf(id);
                    return index.PathEquals(other, path);
                });
            }
            Release(piece.pathHashes);
        }
        index.shortNameSlots.Reserve(total); // only now: the path hashes are gone
        id = 0;
        for (IndexPiece& piece : pieces) {
            const std::vector<uint64_t>& hashes = piece.nameHashes;
            for (size_t i = 0; i < hashes.size(); ++i, ++id) {
                if (i + kAhead < hashes.size())
                    index.shortNameSlots.Prefetch(hashes[i + kAhead]);
                index.shortNameSlots.FindOrInsert(
                    hashes[i], id, [&](uint32_t other) { return index.NameOf(other) == index.NameOf(id); });
            }
            Release(piece.nameHashes);
        }
    }

    // The reference texts, their referring nodes grouped by text, and the relative references.
    void AssembleReferrers()
    {
        size_t total = 0;
        for (const IndexPiece& piece : pieces)
            total += piece.referrers.size();
        if (total >= UINT32_MAX)
            throw std::length_error("Too many references to index.");
        std::vector<uint32_t> textOfNode;
        textOfNode.reserve(total);
        for (IndexPiece& piece : pieces) {
            const std::vector<IndexPiece::Referrer>& referrers = piece.referrers;
            for (size_t i = 0; i < referrers.size(); ++i) {
                if (i + kAhead < referrers.size())
                    index.referenceSlots.Prefetch(referrers[i + kAhead].hash);
                const IndexPiece::Referrer& referrer = referrers[i];
                std::string_view key(referrer.text, referrer.length);
                uint32_t fresh = uint32_t(index.referenceTexts.size());
                uint32_t id = index.referenceSlots.FindOrInsert(
                    referrer.hash, fresh, [&](uint32_t other) { return index.TextOf(other) == key; });
                if (id == fresh)
                    index.referenceTexts.push_back({referrer.text, referrer.length, 0, 0});
                ++index.referenceTexts[id].count;
                textOfNode.push_back(id);
                if (referrer.relative) {
                    uint32_t entry = uint32_t(index.relativeNodes.size());
                    index.relativeNodes.emplace_back(referrer.node, id);
                    index.relativeSlots.FindOrInsert(NodeHash(referrer.node), entry,
                                                     [](uint32_t) { return false; });
                }
            }
            if (!piece.resolvedTexts.empty())
                index.resolvedTexts.push_back(
                    std::move(piece.resolvedTexts)); // moving keeps the texts in place
        }

        // Grouped by text, document order within each group.
        uint32_t offset = 0;
        for (Index::ReferenceText& entry : index.referenceTexts) {
            entry.first = offset;
            offset += entry.count;
            entry.count = 0;
        }
        index.referringNodes.resize(total);
        size_t n = 0;
        for (IndexPiece& piece : pieces) {
            for (const IndexPiece::Referrer& referrer : piece.referrers) {
                Index::ReferenceText& entry = index.referenceTexts[textOfNode[n++]];
                index.referringNodes[entry.first + entry.count++] = referrer.node;
            }
            Release(piece.referrers);
        }
    }

private:
    static constexpr size_t kAhead = 8; // slots asked for ahead of their use, to overlap the misses

    Index& index;
    std::vector<IndexPiece>& pieces;
    const std::vector<IndexPieceStart>& starts;
};

namespace {
// Runs `first` here and `second` on a thread of its own; rethrows the first failure of either.
template <class First, class Second> void RunSideBySide(First&& first, Second&& second)
{
    std::exception_ptr failure;
    std::thread helper = StartThread([&] {
        try {
            second();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    try {
        first();
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (failure)
        std::rethrow_exception(failure);
}
} // namespace

void BuildIndexInto(Index& index, uint64_t& nodeCount, pugi::xml_node node, std::string path,
                    const std::atomic<bool>& stop, RelativeReferences relative)
{
    const bool resolve = relative == RelativeReferences::Resolve;
    IndexPieceList list = SplitIntoPieces(node, ContinueIndexHash(kIndexHashSeed, path), resolve, stop);

    // Both cores take the pieces in turn; each piece's findings stay apart until the assembly.
    std::vector<IndexPiece> pieces(list.starts.size());
    std::atomic<size_t> next{0};
    auto walk = [&] {
        for (size_t p = next++; p < pieces.size(); p = next++) {
            const IndexPieceStart& start = list.starts[p];
            PieceWalker walker(pieces[p], start, stop, resolve ? &list.bases[start.bases] : nullptr);
            if (start.alone) {
                walker.Visit(start.first); // its children are pieces of their own
                continue;
            }
            for (pugi::xml_node cur = start.first; cur != start.end; cur = cur.next_sibling())
                PreOrder(cur, walker);
        }
    };
    RunSideBySide(walk, walk);
    for (const IndexPiece& piece : pieces)
        nodeCount += piece.nodes;
    // A stopped walk left holes that the pieces' parent links cannot bridge; nobody reads its index.
    if (stop.load())
        return;

    IndexAssembler assembler(index, std::move(path), pieces, list.starts);
    RunSideBySide([&] { assembler.AssembleNamed(); }, [&] { assembler.AssembleReferrers(); });
}
