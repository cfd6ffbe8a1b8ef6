#pragma once

#include "model/TreeItem.h"

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
        std::string path;
        pugi::xml_node element;
        pugi::xml_node node;
        std::vector<TreeItem> trail;
    };

    explicit Ref(pugi::xml_node node = pugi::xml_node());

    const Internal* operator->() const { return internal.get(); }
    const Internal& operator*() const { return *internal; }

private:
    std::shared_ptr<const Internal> internal;
};
