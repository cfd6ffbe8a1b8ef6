#pragma once

#include "document/Result.h"
#include "model/BrokenRef.h"
#include "model/Ref.h"
#include "query/HitContext.h"
#include "query/TreeFilter.h"

#include <pugixml.hpp>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class Reaper;
class Workspace;
struct WorkspaceProgress;

enum class StateKind : int
{
    Initial = 0,
    Loading = 1,
    Error = 2,
    Indexing = 3,
    Ready = 4,
};

inline constexpr const char* kNotLoadedMessage = "File not loaded. Result unavailable.";

// The current document and every answer about it. Each state picks its successor in Update().
// All operations are called on the user-interface thread.
class State : public std::enable_shared_from_this<State>
{
public:
    State(std::string filePath, std::shared_ptr<pugi::xml_document> document);
    virtual ~State() = default;

    virtual StateKind GetKind() const = 0;
    virtual std::shared_ptr<State> Update() = 0;
    virtual void OpenFile(std::string path);
    virtual std::string GetErrorMessage() const;
    virtual std::string GetFilePath() const;
    virtual Result<Ref> FindRef(std::string refPath);
    virtual Result<Ref> FindShortName(std::string shortName);
    virtual Result<std::vector<Ref>> FindRefsTo(std::string path);
    // At most `limit` hits; a higher limit for the same query keeps the hits found and adds more.
    virtual Result<std::vector<Ref>> FullTextSearch(std::string query, bool matchCase,
                                                    size_t limit = kFullTextHitsPerPage);
    // The text around hit `index` of the last full-text search; empty when there is none.
    virtual HitContext FullTextHitContext(size_t index);
    virtual Result<size_t> CountRefsTo(std::string path);
    // The elements kept by the filter above the main tree.
    virtual Result<TreeFilterMatches> FilterTree(const TreeFilterQuery& query);
    // Elements whose SHORT-NAME contains `text` (ASCII case ignored), or with `exact` equals it, for
    // Find Shortname. One question at a time: asking another cancels the last.
    virtual Result<TreeFilterMatches> ListShortNames(std::string text, bool exact);
    // Every reference text that names no element, most held first.
    virtual Result<std::vector<BrokenRef>> FindBrokenRefs();
    // `typed` completed by the next piece of the element paths that begin with it (see
    // PathCompletion); Pending while the sorted paths are being gathered.
    virtual Result<std::string> CompleteRefPath(std::string typed);
    // The absolute text that a relative reference held by `node` names; empty when there is none.
    virtual std::string ResolvedReference(pugi::xml_node node) const;
    // The files opened together, or null when one file is open.
    virtual std::shared_ptr<const Workspace> GetWorkspace() const { return nullptr; }
    // How far the files of a folder being opened have loaded; null unless a folder is loading.
    virtual const WorkspaceProgress* GetWorkspaceProgress() const { return nullptr; }

    const size_t id;
    const std::string filePath;
    const std::shared_ptr<pugi::xml_document> document;

protected:
    std::string pendingPath;
};

// Nothing opened yet.
class InitialState : public State
{
public:
    InitialState() : State("", nullptr) {}
    StateKind GetKind() const override { return StateKind::Initial; }
    std::shared_ptr<State> Update() override;
};

// The last load failed; stays until another file is opened.
class ErrorState : public State
{
public:
    ErrorState(std::string filePath, std::string message);
    StateKind GetKind() const override { return StateKind::Error; }
    std::shared_ptr<State> Update() override;
    std::string GetErrorMessage() const override { return message; }

private:
    std::string message;
};

// One frame's step of the state machine: `state` becomes its successor, and the state it replaces
// goes to `reaper`, which waits for its tasks and frees its document and index off this thread.
void AdvanceState(std::shared_ptr<State>& state, Reaper& reaper);
