#include "settings/SettingsMerge.h"

#include <algorithm>

namespace {
bool Holds(const std::list<std::string>& list, const std::string& path)
{
    return std::find(list.begin(), list.end(), path) != list.end();
}
} // namespace

Settings MergeSettings(const Settings& mine, const Settings& onDisk)
{
    Settings merged;
    merged.bookmarks = onDisk.bookmarks;
    for (const std::string& path : mine.bookmarks) {
        if (!mine.loadedBookmarks.count(path))
            merged.bookmarks.insert(path);
    }
    for (const std::string& path : mine.loadedBookmarks) {
        if (!mine.bookmarks.count(path))
            merged.bookmarks.erase(path);
    }
    merged.bookmarkFiles = onDisk.bookmarkFiles;
    for (const auto& [path, file] : mine.bookmarkFiles) {
        auto loaded = mine.loadedBookmarkFiles.find(path);
        if (loaded == mine.loadedBookmarkFiles.end() || loaded->second != file)
            merged.bookmarkFiles[path] = file;
    }
    std::erase_if(merged.bookmarkFiles,
                  [&](const auto& entry) { return !merged.bookmarks.count(entry.first); });

    // A file counts as opened by this run when it was opened, or when it is new to the list.
    for (const std::string& path : mine.recentOpenFiles) {
        if (mine.openedFiles.count(path) || !Holds(mine.loadedRecentFiles, path))
            merged.recentOpenFiles.push_back(path);
    }
    // Missing from a full list, an entry may just have been pushed out by newer ones; the cut below
    // decides about it again. Missing from a shorter list, it was cleared.
    const bool full = mine.recentOpenFiles.size() >= 10;
    for (const std::string& path : onDisk.recentOpenFiles) {
        bool dropped = !full && Holds(mine.loadedRecentFiles, path) && !Holds(mine.recentOpenFiles, path);
        if (!dropped && !Holds(merged.recentOpenFiles, path))
            merged.recentOpenFiles.push_back(path);
    }
    if (merged.recentOpenFiles.size() > 10)
        merged.recentOpenFiles.resize(10);

    // The window closed last gives its place; what only another version knows stays as it is now.
    merged.window = mine.window ? mine.window : onDisk.window;
    merged.windowPlaces = onDisk.windowPlaces;
    for (const auto& [kind, place] : mine.windowPlaces)
        merged.windowPlaces[kind] = place;
    merged.otherEntries = onDisk.otherEntries;
    return merged;
}
