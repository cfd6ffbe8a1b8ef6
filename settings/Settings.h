#pragma once

#include <list>
#include <map>
#include <optional>
#include <set>
#include <string>

// The main window's place on the desktop when the program last ended, in the window system's
// pixels; `maximized` windows are shown maximized again over the place they had before.
struct WindowPlace
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool maximized = false;

    bool operator==(const WindowPlace&) const = default;
};

// What the program remembers between runs.
struct Settings
{
    std::set<std::string> bookmarks;        // element paths, byte-wise order
    std::list<std::string> recentOpenFiles; // most recent first
    std::optional<WindowPlace> window{};    // none before the first run that had a window
    // Where the secondary windows of each kind ("Element", "About"...) were left last.
    std::map<std::string, WindowPlace> windowPlaces{};
    // Entries of conf.json this program does not know (written by another version), as JSON
    // texts by key: saved back unchanged.
    std::map<std::string, std::string> otherEntries{};
    // The file or folder each bookmark was made in, by element path; bookmarks from older
    // versions have none.
    std::map<std::string, std::string> bookmarkFiles{};

    // What conf.json held when this run read it, and the files this run opened. Several windows
    // share the file, so saving applies only this run's additions and removals to it.
    std::set<std::string> loadedBookmarks{};
    std::map<std::string, std::string> loadedBookmarkFiles{};
    std::list<std::string> loadedRecentFiles{};
    std::set<std::string> openedFiles{};
};

// The folder the settings directory goes in: "$USERPROFILE", else "$HOME", else the system's record
// of the user's home (never the current folder); empty when none is known.
std::string GetSettingsHome();

// The per-user settings directory (GetSettingsHome() plus ".Tessaro"), created when missing; the
// empty string when no home is known, and then nothing is read or saved. A directory that cannot
// be created is reported on standard error and its path returned all the same (loading and saving
// then fail with their own messages instead of writing somewhere unexpected).
std::string GetConfigDirectory();

// Replaces both collections with the contents of conf.json when it is present and valid;
// otherwise reports on standard error and leaves them as they are. The saved order of the recent
// files is kept; of duplicates the first counts.
void LoadSettings(Settings& settings);

// The text SaveSettings writes: compact JSON, keys in byte-wise order. Paths that are not valid
// UTF-8 are listed with U+FFFD in place of their bad bytes and kept exactly beside the lists
// (see ExactNames.h), so that they read back as they were.
std::string SettingsToJson(const Settings& settings);

// Under an exclusive lock on conf.json.lock: re-reads conf.json, applies this run's changes to
// it and replaces it through a temporary file. A conf.json that exists but cannot be read or
// understood (or belongs to another version) is left as it is and the changes are not saved; so
// is a read-only one, which is said once per run. The file's permissions and owner are kept.
// Temporaries left by saves of processes that no longer run are removed. Reports on standard error.
void SaveSettings(const Settings& settings);

// Moves `path` to the front of the list, keeping at most 10 entries. Paths compare byte by byte.
void AddRecentFile(std::list<std::string>& recentOpenFiles, const std::string& path);
