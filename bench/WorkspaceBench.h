#pragma once

#include "bench/DocumentGenerator.h"

#include <string>

// Figures of a workspace: opening the folder to ready against opening its files one after another
// (each to ready, as `tessaro-bench FILE` does), the peak resident set against the total bytes, and
// the user-interface thread's key lookups against those of one generated file of the same total size
// and `shape`, and of the workspace's own files joined into one. Prints one JSON line; returns the
// exit status.
int RunWorkspaceBench(const std::string& folder, GeneratedShape shape);
