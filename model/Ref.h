#pragma once

#include "model/NodeText.h"
#include "model/Trail.h"

#include <pugixml.hpp>

#include <memory>
#include <string>
#include <vector>

// Handle to one place in the document: its element path, its nearest named element, the node
// itself and the trail of items from the document node down to it. Cheap to copy; immutable.
// Valid only while the document it points into is alive.
class Ref
{
public:
    struct Internal
    {
        explicit Internal(pugi::xml_node node) : node(node), trail(node) {}

        std::string path;
        pugi::xml_node element;
        pugi::xml_node node;
        Trail trail;
    };

    explicit Ref(pugi::xml_node node = pugi::xml_node());
    // The same value; `names` spares rescanning the children of containers met before.
    Ref(pugi::xml_node node, ShortNameMemo& names);
    // The same value for a named node whose element path is already known (as the index knows it
    // for every node it finds): nothing is walked.
    Ref(pugi::xml_node namedNode, std::string knownPath);

    const Internal* operator->() const { return internal.get(); }
    const Internal& operator*() const { return *internal; }

private:
    template <class Names> void Build(pugi::xml_node node, Names& names);

    std::shared_ptr<const Internal> internal;
};
