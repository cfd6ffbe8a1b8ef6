#include "model/IndexBuilder.h"

#include "concurrency/ThreadStart.h"
#include "model/IndexPieces.h"
#include "model/NodeReaders.h"
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
template <class Reader, class Visitor> void PreOrder(NodeHandle root, Visitor& visitor)
{
    using Mark = decltype(visitor.Mark());
    struct Frame
    {
        NodeHandle nextChild;
        Mark mark;
    };
    std::vector<Frame> stack;
    stack.reserve(64);
    Mark rootMark = visitor.Mark();
    if (!visitor.Visit(root))
        return;
    stack.push_back({Reader::FirstChild(root), rootMark});
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
        NodeHandle child = top.nextChild;
        top.nextChild = Reader::NextSibling(child);
        Mark before = visitor.Mark();
        // Most nodes are leaves (texts above all): they are done without a frame of their own.
        NodeHandle grandchild = nullptr;
        if (visitor.Visit(child) && (grandchild = Reader::FirstChild(child)))
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

// One look at a node's children gives both its short name and its text.
struct NodeFacts
{
    NodeHandle shortName = nullptr;
    const char* text = "";
};

bool IsText(pugi::xml_node_type type)
{
    return type == pugi::node_pcdata || type == pugi::node_cdata;
}

// What pugixml's text accessor answers for an element: a value of its own (kept only under parse
// options the loader does not use), else its first character-data or CDATA child's.
template <class Reader> const char* ElementText(NodeHandle element, NodeHandle textChild)
{
    const char* own = Reader::Value(element);
    return *own || !textChild ? own : Reader::Value(textChild);
}

template <class Reader> NodeFacts FactsOf(NodeHandle node)
{
    NodeFacts facts;
    pugi::xml_node_type type = Reader::Type(node);
    if (type == pugi::node_pcdata)
        return facts; // neither named nor a holder of a reference of its own
    if (type == pugi::node_cdata) {
        facts.text = Reader::Value(node);
        return facts;
    }
    if (type != pugi::node_element) { // the document node may carry a short name
        facts.shortName = ShortNameChild(pugi::xml_node(node)).internal_object();
        return facts;
    }
    NodeHandle textChild = nullptr;
    for (NodeHandle child = Reader::FirstChild(node); child; child = Reader::NextSibling(child)) {
        pugi::xml_node_type childType = Reader::Type(child);
        if (childType == pugi::node_element) {
            if (!facts.shortName && IsShortNameTag(Reader::Name(child))) {
                facts.shortName = child;
                if (textChild)
                    break;
            }
        } else if (IsText(childType)) {
            if (!textChild) {
                textChild = child;
                if (facts.shortName)
                    break;
            }
        }
    }
    facts.text = ElementText<Reader>(node, textChild);
    return facts;
}

template <class Reader> const char* ShortNameText(NodeHandle shortName)
{
    NodeHandle child = Reader::FirstChild(shortName);
    while (child && !IsText(Reader::Type(child)))
        child = Reader::NextSibling(child);
    return ElementText<Reader>(shortName, child);
}
} // namespace

// Walks one piece of the document and lists what it finds, in document order, without touching
// the shared tables: named nodes with their hashes, and nodes holding reference texts.
template <class Reader> class PieceWalker
{
public:
    struct Mark
    {
        CarriedHash path; // of the element path, carried on into the children's
        uint32_t parent;
        ReferenceBases::Scope scope;
    };

    PieceWalker(IndexFindings& out, IndexPiece& piece, const IndexPieceStart& start,
                const std::atomic<bool>& stop, const ReferenceBases* bases)
        : out(out), piece(piece), stop(stop),
          bases(bases), current{start.path, IndexFindings::kOuterParent, start.scope}
    {}

    bool Stopped() const { return stop.load(std::memory_order_relaxed); }
    Mark Mark() const { return current; }
    void Restore(const struct Mark& mark) { current = mark; }

    bool Visit(NodeHandle node)
    {
        ++piece.nodes;
        if (stop.load(std::memory_order_relaxed))
            return false;
        NodeFacts facts = FactsOf<Reader>(node);
        if (facts.shortName)
            AddNamed(pugi::xml_node(node), ShortNameText<Reader>(facts.shortName));
        const char* text = facts.text;
        if (bases && Reader::Type(node) == pugi::node_element) {
            if (!bases->Empty())
                current.scope = bases->Enter(pugi::xml_node(node), current.path, current.scope);
            if (!IsReferenceText(text)) {
                // Most elements with a text hold no reference: only those that may are asked about.
                std::optional<ReferenceBases::Resolved> resolved;
                if (*text && (IsReferenceTag(Reader::Name(node)) || Reader::HasAttributes(node)))
                    resolved = bases->Resolve(pugi::xml_node(node), text, current.scope);
                if (resolved) {
                    if (resolved->text.empty())
                        piece.unresolved.push_back({pugi::xml_node(node), text, resolved->failure});
                    else
                        AddRelative(pugi::xml_node(node), std::move(resolved->text));
                }
                return true;
            }
        }
        if (IsReferenceText(text))
            AddReferrer(pugi::xml_node(node), text, false);
        return true;
    }

private:
    void AddNamed(pugi::xml_node node, const char* name)
    {
        const std::string_view text(name);
        if (out.elements.size() >= IndexFindings::kOuterParent)
            throw std::length_error("Too many names to index.");
        uint32_t id = uint32_t(out.elements.size());
        out.elements.push_back({node, name, CheckedLength(text.size()), current.parent});
        current.path.Append("/");
        current.path.Append(text);
        out.pathHashes.push_back(current.path.Finish());
        out.nameHashes.push_back(CarriedHash::Of(text));
        current.parent = id;
    }

    void AddReferrer(pugi::xml_node node, const char* text, bool relative)
    {
        if (out.referrers.size() >= UINT32_MAX)
            throw std::length_error("Too many references to index.");
        std::string_view key(text);
        out.referrers.push_back({node, text, CheckedLength(key.size()), relative, CarriedHash::Of(key)});
    }

    // The resolved text is kept with the piece, since the document holds only the relative one.
    void AddRelative(pugi::xml_node node, std::string resolved)
    {
        AddReferrer(node, piece.resolvedTexts.emplace_back(std::move(resolved)).c_str(), true);
    }

    IndexFindings& out;
    IndexPiece& piece;
    const std::atomic<bool>& stop;
    const ReferenceBases* bases;
    struct Mark current;
};

// Puts the pieces' findings into the index, in document order, so that the first node in document
// order keeps every key exactly as one walk over the whole document would have it.
class IndexAssembler
{
public:
    IndexAssembler(Index& index, std::string rootPath, std::vector<IndexPiece>& pieces,
                   std::vector<IndexFindings>& findings, const std::vector<IndexPieceStart>& starts)
        : index(index), pieces(pieces), findings(findings), starts(starts)
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
            total += pieces[p].elementsEnd - pieces[p].elementsBegin;
            if (total >= UINT32_MAX)
                throw std::length_error("Too many names to index.");
        }
        index.elements.reserve(total);
        for (size_t p = 0; p < pieces.size(); ++p) {
            const IndexPiece& piece = pieces[p];
            uint32_t outer = starts[p].parentPiece == IndexPieceStart::kNoPiece
                                 ? Index::kNoElement
                                 : offsets[starts[p].parentPiece]; // a lone named node is its piece's first
            const ChunkedList<Index::Element>& elements = findings[piece.thread].elements;
            uint32_t shift = offsets[p] - piece.elementsBegin; // wraps as it should when negative
            for (uint32_t i = piece.elementsBegin; i < piece.elementsEnd; ++i) {
                Index::Element element = elements[i];
                element.parent =
                    element.parent == IndexFindings::kOuterParent ? outer : element.parent + shift;
                index.elements.push_back(element);
            }
        }
        for (IndexFindings& found : findings)
            found.elements.Release();
        index.pathSlots.Reserve(total);
        std::string path;
        InsertInOrder(&IndexFindings::pathHashes, index.pathSlots, [&](uint32_t id, uint32_t other) {
            path = index.PathOf(id);
            return index.PathEquals(other, path);
        });
        index.shortNameSlots.Reserve(total); // only now: the path hashes are gone
        InsertInOrder(&IndexFindings::nameHashes, index.shortNameSlots,
                      [&](uint32_t id, uint32_t other) { return index.NameOf(other) == index.NameOf(id); });
    }

    // The reference texts, their referring nodes grouped by text, and the relative references.
    void AssembleReferrers()
    {
        size_t total = 0;
        for (const IndexPiece& piece : pieces)
            total += piece.referrersEnd - piece.referrersBegin;
        if (total >= UINT32_MAX)
            throw std::length_error("Too many references to index.");
        TableVector<uint32_t> textOfNode;
        textOfNode.reserve(total);
        // Room for the most texts there can be: pages that stay unused are never touched, and the
        // list is never copied as it grows.
        index.referenceTexts.reserve(total);
        for (IndexPiece& piece : pieces) {
            const ChunkedList<IndexFindings::Referrer>& referrers = findings[piece.thread].referrers;
            for (uint32_t i = piece.referrersBegin; i < piece.referrersEnd; ++i) {
                if (i + kAhead < piece.referrersEnd)
                    index.referenceSlots.Prefetch(referrers[i + kAhead].hash);
                const IndexFindings::Referrer& referrer = referrers[i];
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
            index.unresolved.insert(index.unresolved.end(), piece.unresolved.begin(), piece.unresolved.end());
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
        for (const IndexPiece& piece : pieces) {
            const ChunkedList<IndexFindings::Referrer>& referrers = findings[piece.thread].referrers;
            for (uint32_t i = piece.referrersBegin; i < piece.referrersEnd; ++i) {
                Index::ReferenceText& entry = index.referenceTexts[textOfNode[n++]];
                index.referringNodes[entry.first + entry.count++] = referrers[i].node;
            }
        }
        for (IndexFindings& found : findings)
            found.referrers.Release();
    }

private:
    static constexpr size_t kAhead = 8; // slots asked for ahead of their use, to overlap the misses

    // Inserts every element's hash from `list`, ids in document order; `equal(id, other)` confirms a key.
    template <class Equal>
    void InsertInOrder(ChunkedList<uint64_t> IndexFindings::*list, HashSlots& slots, Equal&& equal)
    {
        uint32_t id = 0;
        for (const IndexPiece& piece : pieces) {
            const ChunkedList<uint64_t>& hashes = findings[piece.thread].*list;
            for (uint32_t i = piece.elementsBegin; i < piece.elementsEnd; ++i, ++id) {
                if (i + kAhead < piece.elementsEnd)
                    slots.Prefetch(hashes[i + kAhead]);
                slots.FindOrInsert(hashes[i], id, [&](uint32_t other) { return equal(id, other); });
            }
        }
        for (IndexFindings& found : findings)
            (found.*list).Release();
    }

    Index& index;
    std::vector<IndexPiece>& pieces;
    std::vector<IndexFindings>& findings;
    const std::vector<IndexPieceStart>& starts;
};

namespace {
// Runs `first` here and `second` on a thread of its own, both with this thread's document arena;
// rethrows the first failure of either. One after the other when `alone`.
template <class First, class Second> void RunSideBySide(bool alone, First&& first, Second&& second)
{
    if (alone) {
        first();
        second();
        return;
    }
    std::exception_ptr failure;
    DocumentArena* arena = DocumentArena::Current();
    std::thread helper = StartThread([&] {
        DocumentArena::Use use(arena);
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
                    const std::atomic<bool>& stop, const ReferenceBases* bases, bool alone)
{
    CarriedHash rootPath;
    rootPath.Append(path);
    IndexPieceList list = SplitIntoPieces(node, rootPath, bases, stop);

    // Both cores take the pieces in turn, each appending its findings to lists of its own.
    std::vector<IndexPiece> pieces(list.starts.size());
    std::vector<IndexFindings> findings(2);
    std::atomic<size_t> next{0};
    auto walk = [&]<class Reader>(Reader, uint32_t thread) {
        IndexFindings& out = findings[thread];
        for (size_t p = next++; p < pieces.size(); p = next++) {
            const IndexPieceStart& start = list.starts[p];
            IndexPiece& piece = pieces[p];
            piece.thread = thread;
            piece.elementsBegin = uint32_t(out.elements.size());
            piece.referrersBegin = uint32_t(out.referrers.size());
            PieceWalker<Reader> walker(out, piece, start, stop, bases);
            if (start.alone) {
                walker.Visit(start.first.internal_object()); // its children are pieces of their own
            } else {
                for (pugi::xml_node cur = start.first; cur != start.end; cur = cur.next_sibling())
                    PreOrder<Reader>(cur.internal_object(), walker);
            }
            piece.elementsEnd = uint32_t(out.elements.size());
            piece.referrersEnd = uint32_t(out.referrers.size());
        }
    };
    if (DirectNodeReaderFits())
        RunSideBySide(
            alone, [&] { walk(DirectNodeReader(), 0); }, [&] { walk(DirectNodeReader(), 1); });
    else
        RunSideBySide(
            alone, [&] { walk(LibraryNodeReader(), 0); }, [&] { walk(LibraryNodeReader(), 1); });
    for (const IndexPiece& piece : pieces)
        nodeCount += piece.nodes;
    // A stopped walk left holes that the pieces' parent links cannot bridge; nobody reads its index.
    if (stop.load())
        return;

    IndexAssembler assembler(index, std::move(path), pieces, findings, list.starts);
    RunSideBySide(
        alone, [&] { assembler.AssembleNamed(); }, [&] { assembler.AssembleReferrers(); });
}
