#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Element paths kept as chains instead of strings: each named node has its short name and the
// number of its nearest named ancestor (kChainEnd above the topmost), and every path of a table
// extends the table's root path. `nameOf(n)` and `parentOf(n)` read one table's chains.
inline constexpr uint32_t kChainEnd = UINT32_MAX;

// The element-path rule, written once for every lookup, walk and filter: a path is "/" and a
// name for each named node from the top down, and nothing else. Names may be empty and nothing is
// normalised, so "/P/E/", "P/E" and "/P//E" name E only where such names exist.
// Whether the '/' at `slash` in `path` is followed by `name`.
inline bool IsPathStep(std::string_view path, size_t slash, std::string_view name)
{
    return slash < path.size() && path.size() - slash - 1 >= name.size() && path[slash] == '/' &&
           path.compare(slash + 1, name.size(), name) == 0;
}

// Makes `path`, the element path of a node's nearest named ancestor ("" when it has none), the path
// of that node's descendant named `name`: how a walk from the top spells paths as it goes down.
inline void AppendPathStep(std::string& path, std::string_view name)
{
    path += '/';
    path += name;
}

// Whether `path` is the element path of `node`. Compares from the end, one name at a time, so no
// path is ever spelled out.
template <class NameOf, class ParentOf>
bool ChainPathEquals(uint32_t node, std::string_view path, std::string_view rootPath, NameOf&& nameOf,
                     ParentOf&& parentOf)
{
    size_t end = path.size();
    for (uint32_t cur = node; cur != kChainEnd; cur = parentOf(cur)) {
        std::string_view name = nameOf(cur);
        if (end < name.size() + 1 || !IsPathStep(path, end - name.size() - 1, name))
            return false;
        end -= name.size() + 1;
    }
    return path.substr(0, end) == rootPath;
}

// The element path of `node`, in two walks up its chain: one to measure, one to fill the string
// from its end.
template <class NameOf, class ParentOf>
std::string ChainPath(uint32_t node, std::string_view rootPath, NameOf&& nameOf, ParentOf&& parentOf)
{
    size_t length = rootPath.size();
    for (uint32_t cur = node; cur != kChainEnd; cur = parentOf(cur))
        length += nameOf(cur).size() + 1;
    std::string path(length, '/');
    path.replace(0, rootPath.size(), rootPath);
    for (uint32_t cur = node; cur != kChainEnd; cur = parentOf(cur)) {
        std::string_view name = nameOf(cur);
        length -= name.size();
        path.replace(length, name.size(), name);
        --length; // the '/' in front, already there
    }
    return path;
}
