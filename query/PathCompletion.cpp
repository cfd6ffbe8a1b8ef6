#include "query/PathCompletion.h"

#include "model/Index.h"

#include <algorithm>

PathCompletion::PathCompletion(const std::vector<const Index*>& indexes, const std::atomic<bool>& stop)
{
    for (const Index* index : indexes) {
        if (!index || stop)
            continue;
        index->ForEachPath([&](std::string_view path, pugi::xml_node) {
            paths.emplace_back(spelled.size(), path.size());
            spelled.append(path);
        });
    }
    auto less = [this](const auto& a, const auto& b) {
        return std::string_view(spelled).substr(a.first, a.second) <
               std::string_view(spelled).substr(b.first, b.second);
    };
    auto equal = [this](const auto& a, const auto& b) {
        return std::string_view(spelled).substr(a.first, a.second) ==
               std::string_view(spelled).substr(b.first, b.second);
    };
    // One index lists its paths sorted already; several files are merged here.
    if (indexes.size() > 1) {
        std::sort(paths.begin(), paths.end(), less);
        paths.erase(std::unique(paths.begin(), paths.end(), equal), paths.end());
    }
}

std::string PathCompletion::Complete(std::string_view typed) const
{
    const auto starts = [typed](std::string_view path) { return path.substr(0, typed.size()) == typed; };
    size_t low = 0, high = paths.size();
    while (low < high) { // the first path not before `typed`
        const size_t middle = (low + high) / 2;
        (At(middle) < typed ? low = middle + 1 : high = middle);
    }
    const size_t first = low;
    high = paths.size();
    while (low < high) { // past the last path that begins with `typed`
        const size_t middle = (low + high) / 2;
        (starts(At(middle)) ? low = middle + 1 : high = middle);
    }
    if (first == low)
        return std::string(typed);
    // Sorted: what the first and the last candidate share, all of them share.
    const std::string_view a = At(first), b = At(low - 1);
    size_t common = typed.size();
    while (common < a.size() && common < b.size() && a[common] == b[common])
        ++common;
    // One piece: up to the next "/", or that "/" itself when it comes first.
    const size_t slash = a.find('/', std::max<size_t>(typed.size(), 1));
    if (slash == typed.size() && slash < common)
        return std::string(a.substr(0, slash + 1));
    if (common > typed.size())
        return std::string(a.substr(0, std::min(common, slash)));
    // The candidates part right after `typed`; below an element that is one of them, the next piece
    // starts with "/".
    if (a == typed && first + 1 < low && At(first + 1)[typed.size()] == '/' && b[typed.size()] == '/')
        return std::string(typed) + "/";
    return std::string(typed);
}
