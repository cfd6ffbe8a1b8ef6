#pragma once

#include "model/BrokenRef.h"
#include "model/FolderListing.h"
#include "model/Index.h"
#include "model/WorkspaceLookup.h"

#include <pugixml.hpp>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One file of a workspace: its own document and index, or why it could not be had.
struct WorkspaceFile
{
    std::string path;
    uint64_t size = 0;                            // bytes on disk
    std::shared_ptr<pugi::xml_document> document; // null when the file failed
    std::shared_ptr<Index> index;                 // null when the file failed
    uint64_t nodeCount = 0;
    std::string error; // "Could not load the file PATH: REASON", empty when loaded
};

// One document, or several answered as one model. A path found in several files is the first file's, in
// workspace order, as the first node in document order wins inside one file; a reference text
// counts the referrers of every file. Read-only once made, so any thread may ask. Making it builds
// a lookup over all files (so make it off the user-interface thread): a path, a short name or a
// count then costs about one lookup, however many files there are. A single file is answered by
// its own index, with no lookup over files at all.
class Workspace
{
public:
    // `folder`: the folder opened, which file paths are shown relative to; empty for one file.
    explicit Workspace(std::vector<WorkspaceFile> files, std::string folder = {});
    // With the lookup already filled from exactly these files (see LoadWorkspace).
    Workspace(std::vector<WorkspaceFile> files, WorkspaceLookup lookup, std::string folder);

    struct Located
    {
        size_t file;
        pugi::xml_node node;
    };
    struct BrokenReference
    {
        std::string_view text;   // points into a document or index of the workspace
        size_t count;            // nodes holding it, in every file
        Located firstReferrer;   // in workspace order
        std::string_view reason; // why it names nothing, "target missing" when it is absolute
    };

    const std::vector<WorkspaceFile>& Files() const { return files; }
    size_t LoadedCount() const { return loadedCount; }
    // Whether a folder (or several files) was opened, rather than one file.
    bool IsFolder() const { return !folder.empty(); }
    // A file's path as rows show it: relative to the opened folder, or the file's name alone.
    std::string ShownPath(size_t file) const;

    std::optional<Located> FindPath(std::string_view path) const;
    // The first file's first element whose short name is exactly `name`, with its element path.
    std::optional<std::pair<size_t, Index::Named>> FindShortName(std::string_view name) const;
    size_t CountReferrers(std::string_view text) const;
    // File by file in workspace order, document order within a file.
    std::vector<Located> Referrers(std::string_view text) const;
    // The absolute text of the relative reference that `node` holds; empty when none.
    std::string_view ResolvedReference(pugi::xml_node node) const;
    // The file whose document holds `node`.
    std::optional<size_t> FileOf(pugi::xml_node node) const;
    // Every reference text that names no element of any file, and every relative reference that
    // names nothing, with the reason; in byte order of the texts, then of the reasons.
    std::vector<BrokenReference> BrokenReferences(const std::atomic<bool>& stop) const;

private:
    std::vector<WorkspaceFile> files;
    std::string folder;
    size_t loadedCount = 0;        // files with an index; the menu shows it every frame
    const Index* single = nullptr; // the only file's index: answers without the lookup
    std::unordered_map<const void*, size_t> fileOfDocument;
    WorkspaceLookup lookup;
};

// The list as the viewer shows it: most held first, then in byte order of the texts.
std::vector<BrokenRef> MostHeldFirst(const std::vector<Workspace::BrokenReference>& broken);

// How far loading a folder has come; written by the loading threads, read by any thread.
struct WorkspaceProgress
{
    std::atomic<size_t> files{0};   // to load; 0 while the folder is still being listed
    std::atomic<size_t> read{0};    // read and parsed, or failed
    std::atomic<size_t> indexed{0}; // indexed as well, or failed: done
};

// Called by the worker that has just loaded the file numbered `file` (in `paths` order); several
// workers may call at once.
using WorkspaceFileLoaded = std::function<void(size_t file, const WorkspaceFile& loaded)>;

// Reads and parses each file on one of `workers` threads, the largest files first, each into its
// own document, then indexes them the same way once the reference bases of all are known, so that
// a package split over several files resolves relative references through all its parts. A file
// that fails keeps its error and does not stop the others; a listed entry that failed already
// is kept as a failed file. Once `stop` reads true no further file is started. `progress`, when
// given, counts the files as they are read and indexed. When `loaded` throws, no further file is
// started and the first of its exceptions is thrown (std::bad_alloc as "not enough memory").
std::vector<WorkspaceFile> LoadWorkspaceFiles(const std::vector<ListedFile>& listed, size_t workers,
                                              const std::atomic<bool>& stop,
                                              const WorkspaceFileLoaded& loaded = {},
                                              WorkspaceProgress* progress = nullptr);
std::vector<WorkspaceFile> LoadWorkspaceFiles(const std::vector<std::string>& paths, size_t workers,
                                              const std::atomic<bool>& stop,
                                              const WorkspaceFileLoaded& loaded = {},
                                              WorkspaceProgress* progress = nullptr);

// LoadWorkspaceFiles, with the lookup over all files filled as each file comes in, while the
// others are still loading, so that little is left to do once the last one is in.
// `folder` is where rows show each file's path from ("." keeps the paths as given).
std::shared_ptr<Workspace> LoadWorkspace(const std::vector<ListedFile>& listed, std::string folder,
                                         size_t workers, const std::atomic<bool>& stop,
                                         WorkspaceProgress* progress = nullptr);
