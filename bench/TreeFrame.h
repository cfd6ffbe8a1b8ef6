#pragma once

#include <string>
#include <utility>
#include <vector>

// CPU milliseconds per frame of the headless tree view over a list of 200,000 children: with the
// top rows only (the baseline of the same run), with the list open on one page in the main window,
// and with a second window showing another page of it. Empty when built without the interface.
std::vector<std::pair<std::string, double>> TreeFrameFigures();
