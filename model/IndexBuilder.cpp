#include "model/IndexBuilder.h"

#include "model/NodeText.h"

#include <exception>
#include <string_view>
#include <thread>
#include <vector>

namespace {
// Pre-order over the subtree of `root` with an explicit stack (any nesting depth). `Visit` does
// the work for one node and says whether to descend; `Mark`/`Restore` let a visitor undo what a
// node added to its running state once the node's subtree is done.
template <class Visitor> void PreOrder(pugi::xml_node root, Visitor& visitor)
{
    struct Frame
    {
        pugi::xml_node nextChild;
        size_t mark;
    };
    std::vector<Frame> stack;
    stack.reserve(64);
    size_t rootMark = visitor.Mark();
    if (!visitor.Visit(root))
        return;
    stack.push_back({root.first_child(), rootMark});
    while (!stack.empty()) {
        // A stopped visitor refuses every node, but a list of many siblings would still be walked.
        if (visitor.stop.load(std::memory_order_relaxed))
            return;
        Frame& top = stack.back();
        if (!top.nextChild) {
            visitor.Restore(top.mark);
            stack.pop_back();
            continue;
        }
        pugi::xml_node child = top.nextChild;
        top.nextChild = child.next_sibling();
        size_t before = visitor.Mark();
        if (visitor.Visit(child))
            stack.push_back({child.first_child(), before});
        else
            visitor.Restore(before);
    }
}

// Counts the nodes and fills byPath; the only pass that needs the element path.
struct PathVisitor
{
    Index& index;
    uint64_t& nodeCount;
    std::string path;
    const std::atomic<bool>& stop;

    size_t Mark() const { return path.size(); }
    void Restore(size_t mark) { path.resize(mark); }

    bool Visit(pugi::xml_node node)
    {
        ++nodeCount;
        if (stop.load(std::memory_order_relaxed))
            return false;
        if (pugi::xml_node shortName = ShortNameChild(node)) {
            path += '/';
            path += shortName.text().get();
            index.byPath.try_emplace(path, node);
        }
        return true;
    }
};

// Fills byShortName and referrers, which need no path, in a pass of its own.
struct NameVisitor
{
    Index& index;
    const std::atomic<bool>& stop;

    size_t Mark() const { return 0; }
    void Restore(size_t) {}

    bool Visit(pugi::xml_node node)
    {
        if (stop.load(std::memory_order_relaxed))
            return false;
        if (pugi::xml_node shortName = ShortNameChild(node)) {
            std::string_view name = shortName.text().get();
            auto slot = index.byShortName.lower_bound(name);
            if (slot == index.byShortName.end() || slot->first != name)
                index.byShortName.emplace_hint(slot, name, node);
        }
        if (node.type() != pugi::node_pcdata) {
            const char* text = NodeText(node);
            if (IsReferenceText(text)) {
                std::string_view key = text;
                auto slot = index.referrers.lower_bound(key);
                if (slot == index.referrers.end() || slot->first != key)
                    slot = index.referrers.emplace_hint(slot, key, std::vector<pugi::xml_node>());
                slot->second.push_back(node);
            }
        }
        return true;
    }
};
} // namespace

void BuildIndexInto(Index& index, uint64_t& nodeCount, pugi::xml_node node, std::string path,
                    const std::atomic<bool>& stop)
{
    // The maps are independent, so the two passes run side by side; each walks the whole tree in
    // document order and therefore inserts exactly what one combined pass would.
    std::exception_ptr failure;
    std::thread names([&] {
        try {
            NameVisitor visitor{index, stop};
            PreOrder(node, visitor);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    try {
        PathVisitor visitor{index, nodeCount, std::move(path), stop};
        PreOrder(node, visitor);
    } catch (...) {
        names.join();
        throw;
    }
    names.join();
    if (failure)
        std::rethrow_exception(failure);
}
