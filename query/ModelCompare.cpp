#include "query/ModelCompare.h"

#include "document/DocumentParser.h"
#include "model/ElementChain.h"
#include "model/NodeText.h"
#include "model/Workspace.h"
#include "query/SameSource.h"
#include "query/ValueDiff.h"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <unordered_set>

namespace {
// The only file's index of a model of one file, else null.
const Index* SingleIndex(const Workspace& model)
{
    return model.Files().size() == 1 ? model.Files()[0].index.get() : nullptr;
}

// A model of one file where no path occurs twice: every element is the one its path finds.
bool UniquePaths(const Workspace& model)
{
    const Index* index = SingleIndex(model);
    return index && index->PathCount() == index->ElementCount();
}

// The first element after `element` and all its named descendants, which follow it in a row.
uint32_t SubtreeEnd(const Index& index, uint32_t element)
{
    uint32_t end = element + 1;
    while (end < index.ElementCount() && index.ParentOf(end) != Index::kNoElement &&
           index.ParentOf(end) >= element)
        ++end;
    return end;
}

struct Element
{
    std::string path;
    pugi::xml_node node;
    bool matched = false;
};

// Returns the number of the element to go on with: the next one, or the first after a subtree
// that needs no visit.
using ElementVisit = std::function<uint32_t(const std::string& path, pugi::xml_node node, uint32_t element)>;

// Every named element that its path finds (the first in workspace and document order), with that
// path and its number in its file's index; file by file, in document order. The path is carried
// down one name at a time. Only where every path is one element's may a visit pass a subtree by.
void ForEachIdentified(const Workspace& model, const std::atomic<bool>& stop, const ElementVisit& visit)
{
    std::string path;
    std::vector<std::pair<uint32_t, size_t>> open; // the named ancestors: element, length of its path
    for (const WorkspaceFile& file : model.Files()) {
        if (!file.index || stop)
            continue;
        const Index& index = *file.index;
        const bool unique = UniquePaths(model);
        open.clear();
        // A parent comes before its children.
        for (uint32_t element = 0; element < index.ElementCount() && !stop;) {
            const uint32_t parent = index.ParentOf(element);
            while (!open.empty() && open.back().first != parent)
                open.pop_back();
            // The last path visited still begins with its ancestors' paths.
            if (open.empty())
                path.assign(index.RootPath());
            else
                path.resize(open.back().second);
            AppendPathStep(path, index.NameOf(element));
            open.emplace_back(element, path.size());
            pugi::xml_node node = index.NodeOf(element);
            if (unique) {
                element = visit(path, node, element);
                continue;
            }
            std::optional<Workspace::Located> first = model.FindPath(path);
            if (first && first->node == node)
                visit(path, node, element);
            ++element;
        }
    }
}

pugi::xml_node NamedParent(pugi::xml_node node)
{
    for (pugi::xml_node parent = node.parent(); parent; parent = parent.parent()) {
        if (ShortNameChild(parent))
            return parent;
    }
    return {};
}

const char* UuidOf(pugi::xml_node node)
{
    return node.attribute("UUID").value();
}

bool ByPath(const Element& a, const Element& b)
{
    return a.path < b.path;
}

// Old element -> its old path and its new path, for the pairs of moved elements made so far.
using Moves = std::unordered_map<const void*, std::pair<std::string_view, std::string>>;

// Where an element goes when its parent has moved: the same path below the parent's new one; empty
// when its parent has not moved.
std::string TranslatedPath(const Moves& moved, const Element& element)
{
    auto parent = moved.find(NamedParent(element.node).internal_object());
    if (parent == moved.end())
        return {};
    const auto& [oldParentPath, newParentPath] = parent->second;
    return newParentPath + element.path.substr(oldParentPath.size());
}

class Comparison
{
public:
    Comparison(const Workspace& oldModel, const Workspace& newModel, const CompareOptions& options,
               const std::atomic<bool>& stop)
        : oldModel(oldModel), newModel(newModel), options(options), stop(stop), values({options.ignoreIds})
    {}

    std::vector<ModelChange> Run()
    {
        if (IsUnderPath("/", options.under))
            CompareFileContents();
        newIndex = SingleIndex(newModel);
        pairedUpTo.assign(newIndex ? newIndex->ElementCount() : 0, 0);
        if (UniquePaths(oldModel) && UniquePaths(newModel)) {
            oldText = ParsedTextOf(oldModel.Files()[0].document);
            newText = ParsedTextOf(newModel.Files()[0].document);
        }
        ForEachIdentified(oldModel, stop,
                          [&](const std::string& path, pugi::xml_node node, uint32_t element) {
                              return PairOld(path, node, element);
                          });
        ForEachIdentified(newModel, stop,
                          [&](const std::string& path, pugi::xml_node node, uint32_t element) {
                              if (newIndex && pairedUpTo[element])
                                  return pairedUpTo[element];
                              if (newIndex || !oldModel.FindPath(path))
                                  added.push_back({path, node});
                              return element + 1;
                          });
        std::sort(removed.begin(), removed.end(), ByPath);
        std::sort(added.begin(), added.end(), ByPath);
        MatchMoves();
        ReportGone(removed, ChangeKind::Removed);
        ReportGone(added, ChangeKind::Added);
        std::stable_sort(changes.begin(), changes.end(),
                         [](const ModelChange& a, const ModelChange& b) { return a.path < b.path; });
        return std::move(changes);
    }

private:
    // Finds the counterpart of the old version's element, compares their values, and notes the
    // element removed when there is none. Returns the next old element to pair.
    uint32_t PairOld(const std::string& path, pugi::xml_node node, uint32_t element)
    {
        pugi::xml_node counterpart;
        if (newIndex) {
            const uint32_t other = newIndex->FindElement(path);
            if (other != Index::kNoElement) {
                counterpart = newIndex->NodeOf(other);
                pairedUpTo[other] = other + 1;
                // Written alike, so alike all the way down: paired element by element.
                if (!oldText.empty() && !newText.empty() && SameSource(node, oldText, counterpart, newText)) {
                    const uint32_t end = SubtreeEnd(*SingleIndex(oldModel), element);
                    if (SubtreeEnd(*newIndex, other) - other == end - element) {
                        pairedUpTo[other] = other + (end - element);
                        return end;
                    }
                }
            }
        } else if (std::optional<Workspace::Located> found = newModel.FindPath(path)) {
            counterpart = found->node;
        }
        if (!counterpart)
            removed.push_back({path, node});
        else if (IsUnderPath(path, options.under))
            CompareValues(path, node, counterpart);
        return element + 1;
    }

    bool IsUnderEither(std::string_view oldPath, std::string_view newPath) const
    {
        return IsUnderPath(oldPath, options.under) || IsUnderPath(newPath, options.under);
    }

    void CompareFileContents()
    {
        const std::vector<WorkspaceFile>& oldFiles = oldModel.Files();
        const std::vector<WorkspaceFile>& newFiles = newModel.Files();
        auto compare = [&](const WorkspaceFile& oldFile, const WorkspaceFile& newFile) {
            if (oldFile.document && newFile.document)
                CompareValues("/", *oldFile.document, *newFile.document);
        };
        if (oldFiles.size() == 1 && newFiles.size() == 1) { // whatever their names, also in folders
            compare(oldFiles[0], newFiles[0]);
            return;
        }
        std::unordered_map<std::string, size_t> oldByName;
        for (size_t i = 0; i < oldFiles.size(); ++i)
            oldByName.try_emplace(oldModel.ShownPath(i), i);
        for (size_t i = 0; i < newFiles.size(); ++i) {
            auto found = oldByName.find(newModel.ShownPath(i));
            if (found != oldByName.end())
                compare(oldFiles[found->second], newFiles[i]);
        }
    }

    void CompareValues(const std::string& path, pugi::xml_node oldNode, pugi::xml_node newNode)
    {
        values.Diff(oldNode, newNode, [&](const ValueDifference& difference) {
            changes.push_back({ChangeKind::Changed,
                               path,
                               {},
                               difference.oldNode,
                               difference.newNode,
                               difference.at,
                               difference.oldValue,
                               difference.newValue});
        });
    }

    // Pairs removed and added elements that carry the same UUID, then the elements below each such
    // pair, by their paths below it.
    void MatchMoves()
    {
        std::unordered_map<std::string_view, size_t> removedByUuid;
        for (size_t i = 0; i < removed.size(); ++i) {
            if (*UuidOf(removed[i].node))
                removedByUuid.try_emplace(UuidOf(removed[i].node), i);
        }
        std::unordered_map<std::string_view, size_t> addedByPath;
        for (size_t i = 0; i < added.size(); ++i)
            addedByPath.try_emplace(added[i].path, i);

        Moves moved;
        auto pair = [&](Element& from, Element& to) {
            from.matched = to.matched = true;
            moved.try_emplace(from.node.internal_object(), from.path, to.path);
            if (IsUnderEither(from.path, to.path))
                CompareValues(to.path, from.node, to.node);
        };
        if (!removedByUuid.empty()) {
            for (Element& element : added) {
                auto found =
                    *UuidOf(element.node) ? removedByUuid.find(UuidOf(element.node)) : removedByUuid.end();
                if (found == removedByUuid.end() || removed[found->second].matched)
                    continue;
                Element& from = removed[found->second];
                // Shown unless just carried along by its parent.
                if (TranslatedPath(moved, from) != element.path && IsUnderEither(from.path, element.path)) {
                    ModelChange change{ChangeKind::Moved, element.path, from.path,
                                       from.node,         element.node, {}};
                    changes.push_back(std::move(change));
                }
                pair(from, element);
            }
        }
        if (moved.empty())
            return;
        // By path, so a parent is paired before its children.
        for (Element& element : removed) {
            if (element.matched)
                continue;
            auto to = addedByPath.find(TranslatedPath(moved, element));
            if (to != addedByPath.end() && !added[to->second].matched)
                pair(element, added[to->second]);
        }
    }

    // Those left unpaired; an element below one of them goes with it.
    void ReportGone(std::vector<Element>& elements, ChangeKind kind)
    {
        std::unordered_set<const void*> gone;
        for (const Element& element : elements) {
            if (element.matched)
                continue;
            gone.insert(element.node.internal_object());
            if (gone.count(NamedParent(element.node).internal_object()) ||
                !IsUnderPath(element.path, options.under))
                continue;
            ModelChange change{kind, element.path, {}, {}, {}, {}};
            (kind == ChangeKind::Removed ? change.oldNode : change.newNode) = element.node;
            changes.push_back(std::move(change));
        }
    }

    const Workspace& oldModel;
    const Workspace& newModel;
    const CompareOptions& options;
    const std::atomic<bool>& stop;
    ValueDiffer values;
    const Index* newIndex = nullptr; // a new version of one file: its elements paired by number
    // Per element of `newIndex`, once paired: the end of the run of elements paired with it, more
    // than the next number when a whole subtree is alike, so that finding what the new version
    // adds takes no lookup in the old one. 0 while unpaired.
    std::vector<uint32_t> pairedUpTo;
    // The texts both versions were parsed in, where each is one file with no path twice: subtrees
    // written alike in both hold no change and are passed by whole. Else empty.
    std::string_view oldText;
    std::string_view newText;
    std::vector<Element> removed; // named elements whose path the new version lacks
    std::vector<Element> added;   // and those the old version lacks
    std::vector<ModelChange> changes;
};
} // namespace

const char* ChangeKindName(ChangeKind kind)
{
    switch (kind) {
        case ChangeKind::Added:
            return "added";
        case ChangeKind::Removed:
            return "removed";
        case ChangeKind::Moved:
            return "moved";
        case ChangeKind::Changed:
            return "changed";
    }
    return "";
}

bool IsUnderPath(std::string_view path, std::string_view under)
{
    if (under.empty() || under == "/")
        return true;
    return path.starts_with(under) && (path.size() == under.size() || path[under.size()] == '/');
}

std::vector<ModelChange> CompareModels(const Workspace& oldModel, const Workspace& newModel,
                                       const CompareOptions& options, const std::atomic<bool>& stop)
{
    return Comparison(oldModel, newModel, options, stop).Run();
}
