#pragma once

#include <cstdint>
#include <string>

// A copy of the generated document at `from` (one tag per line, SHORT-NAME right after the opening
// tag of its element) in which every `every`-th named element is edited, in turns: renamed (a
// move, where it carries a UUID), the first value below it changed, or a new named sibling added
// before it. Returns how many elements were edited; throws std::runtime_error when the copy
// cannot be written.
uint64_t WriteEditedCopy(const std::string& from, const std::string& to, uint64_t every);
