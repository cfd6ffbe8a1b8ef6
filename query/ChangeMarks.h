#pragma once

#include "query/ModelCompare.h"
#include "query/TreeFilter.h"

#include <pugixml.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class Workspace;

// What the tree of the old version shows of one node: the kinds of the changes placed on it, and
// how many changes lie at it or below it.
struct ChangeMark
{
    uint8_t kinds = 0; // bit (1 << ChangeKind) for each kind placed on this node
    uint32_t below = 0;

    bool Has(ChangeKind kind) const { return kinds & (1u << unsigned(kind)); }
};

// The changes from one version to another, laid on the tree of the old version, which is the one
// shown. Every change has a place there: its own node in the old version, or for an added element
// its own node of the new version, drawn as a row below the old counterpart of its parent. Made
// once on a worker, read by the interface, which looks up only the rows it draws.
struct ComparedModels
{
    uint64_t serial = 0; // tells one comparison from the next, which may be made at the same address
    std::shared_ptr<const Workspace> oldModel; // the nodes below point into both
    std::shared_ptr<const Workspace> newModel;
    std::vector<ModelChange> changes;
    std::vector<pugi::xml_node> places;  // per change: the row that shows it
    std::vector<std::string> placePaths; // per change: the element path of the old element it lies in
    // Per change: for an added element, the node of the old tree its row hangs under; else null.
    std::vector<pugi::xml_node> rowParents;
    // The rows of added elements below each node of the old tree, after its own children.
    std::unordered_map<pugi::xml_node_struct*, std::vector<uint32_t>> addedRows;
    std::vector<uint32_t> treeOrder; // indices into `changes`, in the old tree's order
    // Indices into `changes` by the path of their place, in tree order, for an element's window.
    std::unordered_map<std::string, std::vector<uint32_t>> byPlacePath;
    std::unordered_map<pugi::xml_node_struct*, ChangeMark> marks;
    // The kinds of the changes on the new version's nodes that have a counterpart: a value's
    // element, a moved element. Shown beside the old version's.
    std::unordered_map<pugi::xml_node_struct*, ChangeMark> newMarks;
    // The tree cut down to the rows with a change and the way to them, as a filter answers.
    TreeFilterMatches changedOnly;

    const ChangeMark* MarkOf(pugi::xml_node node) const
    {
        auto it = marks.find(node.internal_object());
        if (it != marks.end())
            return &it->second;
        it = newMarks.find(node.internal_object());
        return it == newMarks.end() ? nullptr : &it->second;
    }
    const std::vector<uint32_t>* AddedRowsOf(pugi::xml_node node) const
    {
        auto it = addedRows.find(node.internal_object());
        return it == addedRows.end() ? nullptr : &it->second;
    }
};

// Compares the two versions and places every change on the old tree. Once `stop` reads true it
// returns early with what it has.
std::shared_ptr<const ComparedModels> CompareForTree(std::shared_ptr<const Workspace> oldModel,
                                                     std::shared_ptr<const Workspace> newModel,
                                                     const std::atomic<bool>& stop);

// The rows `changedOnly` keeps whose element the text filter's `textMatches` match too, with the way
// to them: a change counts when the nearest named element at or above its row is a match (an added
// element by its own name and path). Once `stop` reads true it returns early with what it has.
TreeFilterMatches ChangedRowsAmong(const ComparedModels& compared, const TreeFilterMatches& textMatches,
                                   const std::atomic<bool>& stop);
