#include "model/IndexBuilder.h"

#include "model/NodeText.h"

#include <vector>

namespace {
struct Frame
{
    pugi::xml_node nextChild;
    size_t parentPathLength;
};

// Steps 1 to 4 of a visit; appends the node's segment to `path`. False: do not descend.
bool Visit(Index& index, uint64_t& nodeCount, pugi::xml_node node, std::string& path, const std::atomic<bool>& stop)
{
    ++nodeCount;
    if (stop.load(std::memory_order_relaxed))
        return false;
    if (pugi::xml_node shortName = ShortNameChild(node)) {
        const char* name = shortName.text().get();
        path += '/';
        path += name;
        index.byPath.try_emplace(path, node);
        index.byShortName.try_emplace(name, node);
    }
    if (node.type() != pugi::node_pcdata) {
        const char* text = NodeText(node);
        if (IsReferenceText(text)) {
            auto it = index.referrers.find(std::string_view(text));
            if (it == index.referrers.end())
                it = index.referrers.emplace(text, std::vector<pugi::xml_node>()).first;
            it->second.push_back(node);
        }
    }
    return true;
}
} // namespace

void BuildIndexInto(Index& index, uint64_t& nodeCount, pugi::xml_node node, std::string path,
                    const std::atomic<bool>& stop)
{
    std::vector<Frame> stack;
    size_t rootLength = path.size();
    if (!Visit(index, nodeCount, node, path, stop))
        return;
    stack.push_back({node.first_child(), rootLength});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (!top.nextChild) {
            path.resize(top.parentPathLength);
            stack.pop_back();
            continue;
        }
        pugi::xml_node child = top.nextChild;
        top.nextChild = child.next_sibling();
        size_t before = path.size();
        if (Visit(index, nodeCount, child, path, stop))
            stack.push_back({child.first_child(), before});
        else
            path.resize(before);
    }
}
