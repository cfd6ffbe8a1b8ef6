#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A copy of the document at `from` in which every `every`-th named element is edited, in turns:
// renamed (a move, where it carries a UUID), a value of it changed, or a new named sibling added
// before it. Returns how many elements were edited.
uint64_t WriteEditedCopy(const std::string& from, const std::string& to, uint64_t every);

// Figures of comparing two versions of the document at `path`: one edited in about 1 % of its
// named elements, and a byte-for-byte copy. Opening both at once and listing the changes against
// opening one alone, and the peak resident set of a comparison against that of the two opened models.
std::vector<std::pair<std::string, double>> CompareFigures(const std::string& path);
