#pragma once

#include <string>
#include <utility>
#include <vector>

// Figures of comparing two versions of the document at `path`: one edited in about 1 % of its
// named elements, and a byte-for-byte copy. Opening both at once and listing the changes against
// opening one alone, and the peak resident set of a comparison against that of the two opened models.
std::vector<std::pair<std::string, double>> CompareFigures(const std::string& path);
