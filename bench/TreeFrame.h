#pragma once

#include <string>
#include <utility>
#include <vector>

// CPU milliseconds per frame of the headless tree view over a list of 200,000 children: with the
// top rows only (the baseline of the same run), with the list open on one page in the main window,
// and with a second window showing another page of it; with ten element windows of their own
// beside it (and the CPU milliseconds of the frame that opens one more); and with the main tree
// opened down to the bottom of a document nested a million levels deep. Then, for the document at
// `documentPath`, the main tree with its top levels open, unfiltered and with the filter active (and how long
// the filter took). Empty when built without the interface.
std::vector<std::pair<std::string, double>> TreeFrameFigures(const std::string& documentPath);
