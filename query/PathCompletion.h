#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

class Index;

// Every element path of a document or folder, sorted, so that what a user types can be completed by
// one piece without walking the document: two binary searches per completion.
class PathCompletion
{
public:
    // `indexes` of the files, null for one that failed. Stops early (with the paths so far) once
    // `stop` is set.
    PathCompletion(const std::vector<const Index*>& indexes, const std::atomic<bool>& stop);

    // `typed` extended as far as every path that begins with it agrees, but by one path piece at
    // most: "/Bo" becomes "/Body", "/Body" becomes "/Body/" when elements lie below it. Unchanged
    // when no path begins with it or the paths part right after it.
    std::string Complete(std::string_view typed) const;

private:
    std::string_view At(size_t i) const
    {
        return std::string_view(spelled).substr(paths[i].first, paths[i].second);
    }

    std::string spelled;                          // every path, one after another
    std::vector<std::pair<size_t, size_t>> paths; // offset and length in `spelled`; sorted, distinct
};
