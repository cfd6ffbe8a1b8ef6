#pragma once

#include "settings/Settings.h"

// The collections to save when `onDisk` is what conf.json holds now: bookmarks this run added
// are added and those it removed are removed, and the files this run gave bookmarks are theirs;
// the recent files this run opened come first, in its
// order, and those it dropped are dropped; the rest keep the file's order; at most 10 remain.
// This run's window place replaces the file's; entries only another version knows are the file's.
Settings MergeSettings(const Settings& mine, const Settings& onDisk);
