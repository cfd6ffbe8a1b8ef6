#pragma once

#include <atomic>
#include <string>
#include <vector>

// One entry of a folder's listing: a file to load, or a path that could not be taken, with why.
struct ListedFile
{
    std::string path;
    std::string error; // "Could not load the file PATH: REASON"; empty for a file to load
};

// Every "*.arxml" file (any case of the extension) and ".zip" archive below `folder`, sorted by
// path, and beside them every folder or file that could not be read, with its reason: nothing is
// passed over in silence. Links to folders are not followed (a link to itself would never end), and
// no folder is listed twice, however many names reach it. Once `stop` reads true the listing ends
// with what it has.
std::vector<ListedFile> ListWorkspaceFiles(const std::string& folder, const std::atomic<bool>& stop);
