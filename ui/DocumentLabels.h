#pragma once

#include "lifecycle/State.h"
#include "model/Workspace.h"

#include <cstdint>
#include <string>

// Texts that name the open document: the window title and the loading screen's line.

// The last part of a file's or folder's path: "system.arxml" for "/data/system.arxml".
std::string DocumentName(const std::string& filePath);

// "system.arxml - Tessaro 2.7" while a document is open (`filePath` not empty), else "Tessaro 2.7".
std::string WindowTitle(const std::string& filePath);

// "12.3 MB", "512 KB", "80 bytes": a file size as people read it (1 MB = 1,000,000 bytes).
std::string ReadableSize(uintmax_t bytes);

// "system.arxml (12.3 MB)"; the size is left out when the file cannot be read.
std::string FileNameAndSize(const std::string& filePath);

// The loading screen's lines for a folder: its name, "3 of 12 files loaded" and the phase
// ("Reading files" until every file is read, then "Indexing").
std::string FolderLoadingLines(const std::string& folder, const WorkspaceProgress& progress);

// The file being loaded or shown; empty with no document (start and error screens).
std::string OpenDocumentPath(const State& state);
