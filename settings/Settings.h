#pragma once

#include <list>
#include <set>
#include <string>

// What the program remembers between runs.
struct Settings
{
    std::set<std::string> bookmarks;        // element paths, byte-wise order
    std::list<std::string> recentOpenFiles; // most recent first
};

// The per-user settings directory ("$USERPROFILE" or else "$HOME", plus ".Tessaro"), created
// when missing; the empty string when neither variable is set. A directory that cannot be created
// is reported on standard error and its path returned all the same (loading and saving then fail
// with their own messages instead of writing somewhere unexpected).
std::string GetConfigDirectory();

// Replaces both collections with the contents of conf.json when it is present and valid;
// otherwise reports on standard error and leaves them as they are.
void LoadSettings(Settings& settings);

// The text SaveSettings writes: compact JSON, keys in byte-wise order. Paths that are not valid
// UTF-8 are written with U+FFFD in place of their bad bytes.
std::string SettingsToJson(const Settings& settings);

// Writes conf.json (through a temporary file renamed over it); reports failures on standard error.
void SaveSettings(const Settings& settings);

// Moves `path` to the front of the list, keeping at most 10 entries.
void AddRecentFile(std::list<std::string>& recentOpenFiles, const std::string& path);
