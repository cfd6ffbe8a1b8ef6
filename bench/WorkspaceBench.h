#pragma once

#include <string>

// Figures of a workspace: opening the folder to ready against opening its files one after another
// (each to ready, as `tessaro-bench FILE` does), and the peak resident set against the total bytes.
// Prints one JSON line; returns the exit status.
int RunWorkspaceBench(const std::string& folder);
