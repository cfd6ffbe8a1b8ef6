#pragma once

#include <pugixml.hpp>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

class Workspace;

enum class ChangeKind
{
    Added,
    Removed,
    Moved, // renamed or moved: the same UUID at another path
    Changed,
};

// "added", "removed", "moved", "changed".
const char* ChangeKindName(ChangeKind kind);

// One difference between two versions of a model. An added or removed element stands for its whole
// subtree: the elements below it are not listed again. A changed element gives one entry per value
// that differs.
struct ModelChange
{
    ChangeKind kind;
    std::string path;     // of the element: in the new version, in the old one when removed
    std::string fromPath; // moved: the element's path in the old version
    // The element in each version, null where it is missing; for a changed value, the element
    // below that holds it.
    pugi::xml_node oldNode;
    pugi::xml_node newNode;
    std::string at;                 // changed: where the value is below the element (see ValueDifference)
    const char* oldValue = nullptr; // changed: null when the value is missing in the old version
    const char* newValue = nullptr;
};

struct CompareOptions
{
    bool ignoreIds = false; // UUID and timestamp attributes are no change
    std::string under;      // only elements at or below this path (either path of a move); empty for all
};

// Whether `path` is `under` or below it; everything is under "" and "/".
bool IsUnderPath(std::string_view path, std::string_view under);

// Every change from `oldModel` to `newModel`, by path in byte order (the changed values of one
// element in document order). Elements with a SHORT-NAME are the same element when their element
// path is the same, the first in document order as for lookups; an element whose UUID sits at
// another path in the other version has moved, and the elements below it are compared with
// their counterparts below its new path. Unnamed content above every named element is compared
// file by file (the two files when each side has one, else those of the same name), at "/".
// Reads both models once, in a single pass each, and copies no document; where each is one file
// in which no path occurs twice, a named element written byte for byte alike in both is passed by
// with all below it. Once `stop` reads true
// it returns early with what it has found.
std::vector<ModelChange> CompareModels(const Workspace& oldModel, const Workspace& newModel,
                                       const CompareOptions& options, const std::atomic<bool>& stop);
