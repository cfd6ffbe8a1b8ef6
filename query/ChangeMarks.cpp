#include "query/ChangeMarks.h"

#include "model/Workspace.h"

#include <algorithm>
#include <unordered_set>

namespace {

// The element path one level up: "/A/B" to "/A", "/A" to "".
std::string ParentPath(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

// The old tree's node for `change`, with the element path of that node.
std::pair<pugi::xml_node, std::string> PlaceOf(const Workspace& old, const ModelChange& change)
{
    if (change.kind != ChangeKind::Added && change.oldNode)
        return {change.oldNode, change.kind == ChangeKind::Moved ? change.fromPath : change.path};
    // Added, or a value the old element lacks: the nearest element of the old version.
    std::string path = change.kind == ChangeKind::Added ? ParentPath(change.path) : change.path;
    for (; !path.empty(); path = ParentPath(path)) {
        if (std::optional<Workspace::Located> found = old.FindPath(path))
            return {found->node, path};
    }
    return {{}, "/"};
}

// Numbers the nodes of `wanted` in the order the tree shows them: file by file, depth first.
std::unordered_map<pugi::xml_node_struct*, uint64_t>
TreePositions(const Workspace& old, const std::unordered_map<pugi::xml_node_struct*, ChangeMark>& wanted,
              const std::atomic<bool>& stop)
{
    std::unordered_map<pugi::xml_node_struct*, uint64_t> positions;
    uint64_t position = 0;
    for (const WorkspaceFile& file : old.Files()) {
        if (!file.document)
            continue;
        const pugi::xml_node top = *file.document;
        pugi::xml_node node = top.first_child();
        while (node && positions.size() < wanted.size()) {
            if (stop.load(std::memory_order_relaxed))
                return positions;
            if (wanted.count(node.internal_object()))
                positions.emplace(node.internal_object(), position);
            ++position;
            if (node.first_child()) {
                node = node.first_child();
                continue;
            }
            while (node != top && !node.next_sibling())
                node = node.parent();
            node = node == top ? pugi::xml_node() : node.next_sibling();
        }
    }
    return positions;
}

// The places as filter matches: every ancestor lists its children that are places or lead to one,
// in document order, each ancestor's children walked once.
TreeFilterMatches ChangedOnly(const Workspace& old, const ComparedModels& compared)
{
    TreeFilterMatches shown;
    std::unordered_map<const pugi::xml_node_struct*, size_t> fileOf;
    for (size_t i = 0; i < old.Files().size(); ++i) {
        if (old.Files()[i].document)
            fileOf.emplace(pugi::xml_node(*old.Files()[i].document).internal_object(), i);
    }
    shown.matchesPerRoot.assign(old.Files().size(), 0);
    std::unordered_set<const pugi::xml_node_struct*> leading; // places and their ancestors
    for (uint32_t i : compared.treeOrder) {
        const pugi::xml_node place = compared.places[i];
        if (!place || !shown.matches.insert(place.internal_object()).second)
            continue;
        pugi::xml_node up = place;
        for (; up.parent(); up = up.parent())
            leading.insert(up.internal_object());
        if (auto file = fileOf.find(up.internal_object()); file != fileOf.end())
            ++shown.matchesPerRoot[file->second];
    }
    shown.matchCount = shown.matches.size();
    for (const pugi::xml_node_struct* node : leading) {
        pugi::xml_node parent = pugi::xml_node(const_cast<pugi::xml_node_struct*>(node)).parent();
        if (shown.shownChildren.count(parent.internal_object()))
            continue;
        TreeFilterMatches::Shown& children = shown.shownChildren[parent.internal_object()];
        size_t position = 0;
        for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling(), ++position) {
            if (leading.count(child.internal_object()))
                children.push_back({child, position});
        }
    }
    return shown;
}

} // namespace

std::shared_ptr<const ComparedModels> CompareForTree(std::shared_ptr<const Workspace> oldModel,
                                                     std::shared_ptr<const Workspace> newModel,
                                                     const std::atomic<bool>& stop)
{
    static std::atomic<uint64_t> made{0};
    auto compared = std::make_shared<ComparedModels>();
    compared->serial = ++made;
    compared->changes = CompareModels(*oldModel, *newModel, CompareOptions{}, stop);
    const size_t count = compared->changes.size();
    compared->places.reserve(count);
    compared->placePaths.reserve(count);
    for (const ModelChange& change : compared->changes) {
        auto [node, path] = PlaceOf(*oldModel, change);
        compared->places.push_back(node);
        compared->placePaths.push_back(std::move(path));
        if (!node)
            continue;
        compared->marks[node.internal_object()].kinds |= uint8_t(1u << unsigned(change.kind));
        for (pugi::xml_node up = node; up && up.type() != pugi::node_document; up = up.parent())
            ++compared->marks[up.internal_object()].below;
    }
    const auto positions = TreePositions(*oldModel, compared->marks, stop);
    std::vector<uint64_t> position(count, UINT64_MAX); // changes without a place come last
    compared->treeOrder.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        compared->treeOrder[i] = i;
        if (auto it = positions.find(compared->places[i].internal_object()); it != positions.end())
            position[i] = it->second;
    }
    std::stable_sort(compared->treeOrder.begin(), compared->treeOrder.end(),
                     [&](uint32_t a, uint32_t b) { return position[a] < position[b]; });
    for (uint32_t i : compared->treeOrder)
        compared->byPlacePath[compared->placePaths[i]].push_back(i);
    compared->changedOnly = ChangedOnly(*oldModel, *compared);
    compared->oldModel = std::move(oldModel);
    compared->newModel = std::move(newModel);
    return compared;
}
