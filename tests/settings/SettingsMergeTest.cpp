#include "settings/SettingsMerge.h"

#include <gtest/gtest.h>

namespace {
using List = std::list<std::string>;
using Set = std::set<std::string>;

// A run that read `loaded` and now holds `now`.
Settings ThisRun(Set loadedBookmarks, Set bookmarks, List loadedRecent, List recent, Set opened = {})
{
    Settings s;
    s.loadedBookmarks = std::move(loadedBookmarks);
    s.bookmarks = std::move(bookmarks);
    s.loadedRecentFiles = std::move(loadedRecent);
    s.recentOpenFiles = std::move(recent);
    s.openedFiles = std::move(opened);
    return s;
}

Settings Disk(Set bookmarks, List recent)
{
    Settings s;
    s.bookmarks = std::move(bookmarks);
    s.recentOpenFiles = std::move(recent);
    return s;
}
} // namespace

TEST(MergeSettings, OnlyThisRunsBookmarkChangesReachTheFile)
{
    // Read {/A, /B}; added /C, removed /A. Another window meanwhile added /D and removed /B.
    Settings mine = ThisRun({"/A", "/B"}, {"/B", "/C"}, {}, {});
    Settings merged = MergeSettings(mine, Disk({"/A", "/D"}, {}));
    EXPECT_EQ(merged.bookmarks, (Set{"/C", "/D"}));
}

TEST(MergeSettings, OpenedFilesGoFirstClearedOnesGoAndTheRestKeepTheFilesOrder)
{
    // Read [a, b, c]; opened d, then b again. The file now starts with another window's x.
    Settings mine = ThisRun({}, {}, {"a", "b", "c"}, {"b", "d", "a", "c"}, {"d", "b"});
    EXPECT_EQ(MergeSettings(mine, Disk({}, {"x", "a", "b", "c"})).recentOpenFiles,
              (List{"b", "d", "x", "a", "c"}));

    // Cleared, then opened e: what the others added stays, what this run read goes.
    Settings cleared = ThisRun({}, {}, {"a", "b"}, {"e"}, {"e"});
    EXPECT_EQ(MergeSettings(cleared, Disk({}, {"x", "a", "b"})).recentOpenFiles, (List{"e", "x"}));

    // A full list only pushed old entries out; they are not removals, the cut to 10 decides.
    List full{"n0", "n1", "n2", "n3", "n4", "n5", "n6", "n7", "n8", "n9"};
    Settings pushed = ThisRun({}, {}, {"old"}, full, Set(full.begin(), full.end()));
    List merged = MergeSettings(pushed, Disk({}, {"old"})).recentOpenFiles;
    EXPECT_EQ(merged, full);
    Settings fewer = ThisRun({}, {}, {"old", "k"}, {"n0", "old"}, {"n0"});
    EXPECT_EQ(MergeSettings(fewer, Disk({}, {"y", "old", "k"})).recentOpenFiles, (List{"n0", "y", "old"}));
}

TEST(MergeSettings, WindowPlacesOfThisRunReplaceThoseOfTheSameKindOnly)
{
    Settings mine = ThisRun({}, {}, {}, {});
    mine.windowPlaces["Element"] = WindowPlace{1, 1, 10, 10};
    Settings disk = Disk({}, {});
    disk.windowPlaces = {{"Element", WindowPlace{2, 2, 20, 20}}, {"About", WindowPlace{3, 3, 30, 30}}};
    EXPECT_EQ(MergeSettings(mine, disk).windowPlaces,
              (std::map<std::string, WindowPlace>{{"About", {3, 3, 30, 30}}, {"Element", {1, 1, 10, 10}}}));
}

TEST(MergeSettings, ABookmarksFileIsTheOneLastGivenToIt)
{
    // Read /A in a and /B in b; this run made /A again in c and /C in d. Another window moved /B
    // to x and dropped /D.
    Settings mine = ThisRun({"/A", "/B", "/D"}, {"/A", "/B", "/C", "/D"}, {}, {});
    mine.loadedBookmarkFiles = {{"/A", "a"}, {"/B", "b"}, {"/D", "y"}};
    mine.bookmarkFiles = {{"/A", "c"}, {"/B", "b"}, {"/C", "d"}, {"/D", "y"}};
    Settings disk = Disk({"/A", "/B"}, {});
    disk.bookmarkFiles = {{"/A", "a"}, {"/B", "x"}};
    EXPECT_EQ(MergeSettings(mine, disk).bookmarkFiles,
              (std::map<std::string, std::string>{{"/A", "c"}, {"/B", "x"}, {"/C", "d"}}));
}
