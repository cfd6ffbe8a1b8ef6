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
// the nearest element of the old version above it. Made once on a worker, read by the interface,
// which looks up only the rows it draws.
struct ComparedModels
{
    uint64_t serial = 0; // tells one comparison from the next, which may be made at the same address
    std::shared_ptr<const Workspace> oldModel; // the nodes below point into both
    std::shared_ptr<const Workspace> newModel;
    std::vector<ModelChange> changes;
    std::vector<pugi::xml_node> places;  // per change: where the old tree shows it
    std::vector<std::string> placePaths; // per change: the element path of its place
    std::vector<uint32_t> treeOrder;     // indices into `changes`, in the old tree's order
    // Indices into `changes` by the path of their place, in tree order, for an element's window.
    std::unordered_map<std::string, std::vector<uint32_t>> byPlacePath;
    std::unordered_map<pugi::xml_node_struct*, ChangeMark> marks;
    // The tree cut down to the rows with a change and the way to them, as a filter answers.
    TreeFilterMatches changedOnly;

    const ChangeMark* MarkOf(pugi::xml_node node) const
    {
        auto it = marks.find(node.internal_object());
        return it == marks.end() ? nullptr : &it->second;
    }
};

// Compares the two versions and places every change on the old tree. Once `stop` reads true it
// returns early with what it has.
std::shared_ptr<const ComparedModels> CompareForTree(std::shared_ptr<const Workspace> oldModel,
                                                     std::shared_ptr<const Workspace> newModel,
                                                     const std::atomic<bool>& stop);
