#include "model/IndexBuilder.h"

#include "concurrency/ThreadStart.h"
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
        if (visitor.Visit(child))
            stack.push_back({child.first_child(), before});
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
} // namespace

// Counts the nodes and fills the element table, byPath and byShortName: one entry per named node.
class PathTableBuilder
{
public:
    struct Mark
    {
        size_t pathLength;
        uint64_t pathHash;
        uint32_t parent;
    };

    bool Stopped() const { return stop.load(std::memory_order_relaxed); }

    PathTableBuilder(Index& index, uint64_t& nodeCount, std::string rootPath, const std::atomic<bool>& stop)
        : index(index), nodeCount(nodeCount), stop(stop),
          path(std::move(rootPath)), current{path.size(), ContinueIndexHash(kIndexHashSeed, path),
                                             Index::kNoParent}
    {
        index.rootPath = path;
    }

    Mark Mark() const { return current; }
    void Restore(const struct Mark& mark)
    {
        current = mark;
        path.resize(mark.pathLength);
    }

    bool Visit(pugi::xml_node node)
    {
        ++nodeCount;
        if (stop.load(std::memory_order_relaxed))
            return false;
        pugi::xml_node shortName = ShortNameChild(node);
        if (!shortName)
            return true;
        const char* name = shortName.text().get();
        // One pass over the name gives its own hash and the path's, carried on from the parent's.
        uint64_t nameHash = kIndexHashSeed;
        uint64_t pathHash = ContinueIndexHash(current.pathHash, "/");
        const char* end = name;
        for (; *end; ++end) {
            nameHash = (nameHash ^ static_cast<unsigned char>(*end)) * 1099511628211ull;
            pathHash = (pathHash ^ static_cast<unsigned char>(*end)) * 1099511628211ull;
        }
        std::string_view nameView(name, size_t(end - name));

        uint32_t id = uint32_t(index.elements.size());
        index.elements.push_back({node, name, CheckedLength(nameView.size()), current.parent});
        path += '/';
        path += nameView;
        index.pathSlots.FindOrInsert(pathHash, id,
                                     [&](uint32_t other) { return index.PathEquals(other, path); });
        index.shortNameSlots.FindOrInsert(nameHash, id,
                                          [&](uint32_t other) { return index.NameOf(other) == nameView; });
        current = {path.size(), pathHash, id};
        return true;
    }

private:
    Index& index;
    uint64_t& nodeCount;
    const std::atomic<bool>& stop;
    std::string path; // of the nearest named node at or above the one visited
    struct Mark current;
};

// Fills the reference texts and their referring nodes, which need no path, in a pass of its own.
// With `bases`, a relative reference whose base is known is listed under the absolute text it names.
class ReferrerTableBuilder
{
public:
    ReferrerTableBuilder(Index& index, const std::atomic<bool>& stop, ReferenceBases* bases)
        : index(index), stop(stop), bases(bases)
    {}

    bool Stopped() const { return stop.load(std::memory_order_relaxed); }

    size_t Mark() const { return bases ? bases->Mark() : 0; }
    void Restore(size_t mark)
    {
        if (bases)
            bases->Restore(mark);
    }

    bool Visit(pugi::xml_node node)
    {
        if (stop.load(std::memory_order_relaxed))
            return false;
        if (node.type() == pugi::node_pcdata)
            return true;
        const char* text = NodeText(node);
        if (bases && node.type() == pugi::node_element) {
            bases->Enter(node);
            if (!IsReferenceText(text)) {
                if (std::optional<std::string> resolved = bases->Resolve(node, text))
                    AddRelative(node, std::move(*resolved));
                return true;
            }
        }
        if (IsReferenceText(text))
            Add(node, text);
        return true;
    }

    // Groups the nodes by text, keeping document order within each group.
    void Finish()
    {
        uint32_t offset = 0;
        for (Index::ReferenceText& entry : index.referenceTexts) {
            entry.first = offset;
            offset += entry.count;
            entry.count = 0;
        }
        index.referringNodes.resize(nodes.size());
        for (size_t i = 0; i < nodes.size(); ++i) {
            Index::ReferenceText& entry = index.referenceTexts[textOfNode[i]];
            index.referringNodes[entry.first + entry.count++] = nodes[i];
        }
    }

private:
    uint32_t Add(pugi::xml_node node, const char* text)
    {
        uint64_t hash = kIndexHashSeed;
        const char* end = text;
        for (; *end; ++end)
            hash = (hash ^ static_cast<unsigned char>(*end)) * 1099511628211ull;
        std::string_view key(text, size_t(end - text));
        uint32_t fresh = uint32_t(index.referenceTexts.size());
        uint32_t id = index.referenceSlots.FindOrInsert(
            hash, fresh, [&](uint32_t other) { return index.TextOf(other) == key; });
        if (id == fresh)
            index.referenceTexts.push_back({text, CheckedLength(key.size()), 0, 0});
        ++index.referenceTexts[id].count;
        textOfNode.push_back(id);
        nodes.push_back(node);
        return id;
    }

    // The resolved text is kept by the index, since the document holds only the relative one.
    void AddRelative(pugi::xml_node node, std::string resolved)
    {
        uint64_t hash = ContinueIndexHash(kIndexHashSeed, resolved);
        uint32_t known =
            index.referenceSlots.Find(hash, [&](uint32_t other) { return index.TextOf(other) == resolved; });
        const char* text = known != HashSlots::kNone
                               ? index.referenceTexts[known].text
                               : index.resolvedTexts.emplace_back(std::move(resolved)).c_str();
        uint32_t id = Add(node, text);
        uint32_t entry = uint32_t(index.relativeNodes.size());
        index.relativeNodes.emplace_back(node, id);
        index.relativeSlots.FindOrInsert(NodeHash(node), entry, [](uint32_t) { return false; });
    }

    Index& index;
    const std::atomic<bool>& stop;
    ReferenceBases* bases;
    std::vector<uint32_t> textOfNode; // per referring node, in document order
    std::vector<pugi::xml_node> nodes;
};

void BuildIndexInto(Index& index, uint64_t& nodeCount, pugi::xml_node node, std::string path,
                    const std::atomic<bool>& stop, RelativeReferences relative)
{
    // The two tables share nothing, so the two passes run side by side; each walks the whole tree
    // in document order and therefore inserts exactly what one combined pass would.
    std::exception_ptr failure;
    std::thread referrers = StartThread([&] {
        try {
            ReferenceBases bases;
            ReferrerTableBuilder builder(index, stop,
                                         relative == RelativeReferences::Resolve ? &bases : nullptr);
            PreOrder(node, builder);
            builder.Finish();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    try {
        PathTableBuilder builder(index, nodeCount, std::move(path), stop);
        PreOrder(node, builder);
    } catch (...) {
        referrers.join();
        throw;
    }
    referrers.join();
    if (failure)
        std::rethrow_exception(failure);
}
