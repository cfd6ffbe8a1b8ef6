#include "query/ChangeMarks.h"

#include "model/NodeText.h"
#include "model/Workspace.h"

#include <algorithm>
#include <functional>
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

// The child of `oldParent` that stands where `newChild` stands below its parent: the same tag, the
// same position among the siblings of that tag.
pugi::xml_node SameTagAt(pugi::xml_node oldParent, pugi::xml_node newChild)
{
    size_t position = 0;
    for (pugi::xml_node before = newChild.previous_sibling(newChild.name()); before;
         before = before.previous_sibling(newChild.name()))
        ++position;
    pugi::xml_node child = oldParent.child(newChild.name());
    for (; child && position > 0; --position)
        child = child.next_sibling(newChild.name());
    return child;
}

// The old version's document for the new version's `document`: the only one, else the file of
// the same name.
pugi::xml_node OldDocumentFor(const Workspace& old, const Workspace& fresh, pugi::xml_node document)
{
    const std::vector<WorkspaceFile>& oldFiles = old.Files();
    if (oldFiles.size() == 1)
        return oldFiles[0].document ? pugi::xml_node(*oldFiles[0].document) : pugi::xml_node();
    for (size_t i = 0; i < fresh.Files().size(); ++i) {
        if (!fresh.Files()[i].document || pugi::xml_node(*fresh.Files()[i].document) != document)
            continue;
        for (size_t j = 0; j < oldFiles.size(); ++j) {
            if (oldFiles[j].document && old.ShownPath(j) == fresh.ShownPath(i))
                return *oldFiles[j].document;
        }
    }
    return {};
}

// The node of the old tree that an added element's row hangs under: the counterpart of its parent,
// found through the nearest named ancestor and the unnamed elements between, as far down as the old
// version has them. Where the named ancestor is missing (it moved), the nearest element above.
pugi::xml_node RowParentOf(const Workspace& old, const Workspace& fresh, const ModelChange& change)
{
    std::vector<pugi::xml_node> between; // unnamed ancestors, nearest first
    pugi::xml_node up = change.newNode.parent();
    for (; up && up.type() != pugi::node_document && !ShortNameChild(up); up = up.parent())
        between.push_back(up);
    pugi::xml_node at;
    if (!up)
        return {};
    if (up.type() == pugi::node_document) {
        at = OldDocumentFor(old, fresh, up);
    } else if (std::optional<Workspace::Located> found = old.FindPath(ParentPath(change.path))) {
        at = found->node;
    } else {
        return PlaceOf(old, change).first;
    }
    for (auto step = between.rbegin(); at && step != between.rend(); ++step) {
        pugi::xml_node counterpart = SameTagAt(at, *step);
        if (!counterpart)
            break;
        at = counterpart;
    }
    return at;
}

// Numbers the rows of `compared.marks` in the order the tree shows them: file by file, depth first,
// the rows of added elements after their parent's own children. Every ancestor of a marked row is
// marked too, so the walk enters marked nodes only and passes the rest of the document by.
std::unordered_map<pugi::xml_node_struct*, uint64_t>
TreePositions(const Workspace& old, const ComparedModels& compared, const std::atomic<bool>& stop)
{
    const auto& wanted = compared.marks;
    std::unordered_map<pugi::xml_node_struct*, uint64_t> positions;
    uint64_t position = 0;
    auto leave = [&](pugi::xml_node node) {
        if (const std::vector<uint32_t>* rows = compared.AddedRowsOf(node)) {
            for (uint32_t i : *rows)
                positions.emplace(compared.changes[i].newNode.internal_object(), position++);
        }
    };
    for (const WorkspaceFile& file : old.Files()) {
        if (!file.document)
            continue;
        const pugi::xml_node top = *file.document;
        pugi::xml_node node = top.first_child();
        while (node && positions.size() < wanted.size()) {
            if (stop.load(std::memory_order_relaxed))
                return positions;
            const bool marked = wanted.count(node.internal_object()) > 0;
            if (marked)
                positions.emplace(node.internal_object(), position);
            ++position;
            if (marked && node.first_child()) {
                node = node.first_child();
                continue;
            }
            if (marked)
                leave(node);
            while (node != top && !node.next_sibling()) {
                node = node.parent();
                leave(node);
            }
            node = node == top ? pugi::xml_node() : node.next_sibling();
        }
    }
    return positions;
}

// The rows of the changes `kept` picks as filter matches: every ancestor lists its children that
// are such rows or lead to one, in document order, each ancestor's children walked once. A parent
// of added rows lists at least none, so that none of its own children shows unasked.
TreeFilterMatches ChangedRows(const Workspace& old, const ComparedModels& compared,
                              const std::function<bool(uint32_t)>& kept, const std::atomic<bool>& stop)
{
    TreeFilterMatches shown;
    std::unordered_map<const pugi::xml_node_struct*, size_t> fileOf;
    for (size_t i = 0; i < old.Files().size(); ++i) {
        if (old.Files()[i].document)
            fileOf.emplace(pugi::xml_node(*old.Files()[i].document).internal_object(), i);
    }
    shown.matchesPerRoot.assign(old.Files().size(), 0);
    std::unordered_set<const pugi::xml_node_struct*> leading; // rows and their ancestors
    std::vector<pugi::xml_node> rowParents;
    for (uint32_t i : compared.treeOrder) {
        const pugi::xml_node place = compared.places[i];
        if (stop.load(std::memory_order_relaxed))
            break;
        if (!place || !kept(i) || !shown.matches.insert(place.internal_object()).second)
            continue;
        pugi::xml_node up = place;
        if (compared.rowParents[i]) {
            up = compared.rowParents[i];
            rowParents.push_back(up);
        }
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
    for (pugi::xml_node parent : rowParents) {
        if (!shown.matches.count(parent.internal_object()))
            shown.shownChildren.try_emplace(parent.internal_object());
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
    compared->rowParents.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const ModelChange& change = compared->changes[i];
        auto [node, path] = PlaceOf(*oldModel, change);
        compared->placePaths.push_back(std::move(path));
        pugi::xml_node countFrom = node;
        if (change.kind == ChangeKind::Added && change.newNode) {
            const pugi::xml_node parent = RowParentOf(*oldModel, *newModel, change);
            node = parent ? change.newNode : pugi::xml_node();
            if (parent) {
                compared->rowParents[i] = parent;
                compared->addedRows[parent.internal_object()].push_back(i);
                ++compared->marks[node.internal_object()].below;
                countFrom = parent;
            }
        }
        compared->places.push_back(node);
        if (change.newNode && change.kind != ChangeKind::Added)
            compared->newMarks[change.newNode.internal_object()].kinds |=
                uint8_t(1u << unsigned(change.kind));
        if (!node)
            continue;
        compared->marks[node.internal_object()].kinds |= uint8_t(1u << unsigned(change.kind));
        for (pugi::xml_node up = countFrom; up && up.type() != pugi::node_document; up = up.parent())
            ++compared->marks[up.internal_object()].below;
    }
    const auto positions = TreePositions(*oldModel, *compared, stop);
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
    compared->changedOnly = ChangedRows(
        *oldModel, *compared, [](uint32_t) { return true; }, stop);
    compared->oldModel = std::move(oldModel);
    compared->newModel = std::move(newModel);
    return compared;
}

TreeFilterMatches ChangedRowsAmong(const ComparedModels& compared, const TreeFilterMatches& textMatches,
                                   const std::atomic<bool>& stop)
{
    auto kept = [&](uint32_t i) {
        const ModelChange& change = compared.changes[i];
        if (compared.rowParents[i]) {
            const pugi::xml_node name = ShortNameChild(change.newNode);
            return textMatches.matcher && textMatches.matcher->Matches(name.text().get(), change.path);
        }
        pugi::xml_node named = compared.places[i];
        while (named && named.type() != pugi::node_document && !ShortNameChild(named))
            named = named.parent();
        return textMatches.matches.count(named.internal_object()) > 0;
    };
    TreeFilterMatches shown = ChangedRows(*compared.oldModel, compared, kept, stop);
    shown.matcher = textMatches.matcher;
    return shown;
}
