#pragma once

#include "model/TreeItem.h"

#include <pugixml.hpp>

#include <cstddef>
#include <mutex>
#include <vector>

// The items from the document node down to one node, in that order. Walking up through nodes
// that are cold in memory is most of what a lookup would cost, and most answers are never
// revealed in the tree, so the walk waits for the first reader. Safe to read from any thread.
class Trail
{
public:
    using value_type = TreeItem;
    using const_iterator = std::vector<TreeItem>::const_iterator;
    using iterator = const_iterator;

    explicit Trail(pugi::xml_node node) : node(node) {}
    Trail(const Trail&) = delete;
    Trail& operator=(const Trail&) = delete;

    const std::vector<TreeItem>& Items() const;
    operator const std::vector<TreeItem>&() const { return Items(); }

    const_iterator begin() const { return Items().begin(); }
    const_iterator end() const { return Items().end(); }
    size_t size() const { return Items().size(); }
    bool empty() const { return !node; } // a trail ends at its own node
    const TreeItem& front() const { return Items().front(); }
    const TreeItem& back() const { return Items().back(); }
    const TreeItem& operator[](size_t i) const { return Items()[i]; }

    bool operator==(const Trail& other) const { return Items() == other.Items(); }
    bool operator==(const std::vector<TreeItem>& other) const { return Items() == other; }

private:
    pugi::xml_node node;
    mutable std::once_flag walked;
    mutable std::vector<TreeItem> items;
};
