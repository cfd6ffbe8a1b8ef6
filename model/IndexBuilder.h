#pragma once

#include "model/Index.h"
#include "model/ReferenceBases.h"

#include <atomic>
#include <cstdint>
#include <string>

// One pre-order pass over the subtree of `node`, whose path so far is `path`: every named node is
// found by its path and by its short name (the first in document order wins), every node holding
// a reference text is listed under that text.
// Counts every node it visits; once `stop` reads true it counts but no longer descends.
// Uses an explicit stack, so any nesting depth is fine.
// References written relative to a base (BASE="label", or the default base) are resolved only
// with `bases` (collected from this document, or from every document of a workspace): each is
// listed under the absolute text it names, or as unresolved with the reason.
// A thread of its own takes half the work unless `alone`, for a caller whose other cores are busy
// already (the workers loading a folder), where the helper would only take turns with them.
void BuildIndexInto(Index& index, uint64_t& nodeCount, pugi::xml_node node, std::string path,
                    const std::atomic<bool>& stop, const ReferenceBases* bases = nullptr, bool alone = false);
