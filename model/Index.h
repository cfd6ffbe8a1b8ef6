#pragma once

#include <pugixml.hpp>

#include <map>
#include <string>
#include <vector>

// Exact-key lookups of one document, filled once by the index build and read-only afterwards.
struct Index
{
    std::map<std::string, pugi::xml_node, std::less<>> byPath;      // first node in document order wins
    std::map<std::string, pugi::xml_node, std::less<>> byShortName; // first node in document order wins
    std::map<std::string, std::vector<pugi::xml_node>, std::less<>> referrers; // document order
};
