#pragma once

#include "model/Index.h"

#include <atomic>
#include <cstdint>
#include <string>

// One pre-order pass over the subtree of `node`, whose path so far is `path`: every named node goes
// into byPath and byShortName (first wins), every node holding a reference text into referrers.
// Counts every node it visits; once `stop` reads true it counts but no longer descends.
// Uses an explicit stack, so any nesting depth is fine.
void BuildIndexInto(Index& index, uint64_t& nodeCount, pugi::xml_node node, std::string path,
                    const std::atomic<bool>& stop);
