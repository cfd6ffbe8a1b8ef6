#pragma once

#include "concurrency/ThreadPool.h"
#include "lifecycle/PolledAnswer.h"
#include "lifecycle/State.h"
#include "query/ChangeMarks.h"

#include <memory>
#include <string>

class Reaper;

// The open document compared with another version of it: the other version loads as any document
// does, through its own states, and once both are ready a worker compares them. Belongs to the
// document open when it was asked for; the interface drops it when another one is opened.
class Comparison
{
public:
    // Starts loading `newPath`, a file or folder, to compare with the document at `oldPath`.
    Comparison(std::string oldPath, std::string newPath);
    // Waits for the compare task, which has been told to stop, and frees both versions' answers:
    // hand it to a Reaper.
    ~Comparison();

    // One frame's step: the new version's state advances, and the comparison starts once both
    // versions are ready. A reload of the open document compares again.
    void Update(const State& open, Reaper& reaper);

    // Pending while either version loads or the worker compares; an error when either failed.
    Result<std::shared_ptr<const ComparedModels>> Poll();
    // What is being waited for, for the status line; empty once done.
    std::string Progress() const;
    // The changed rows among the text filter's `textMatches` (see ChangedRowsAmong), worked out on
    // the comparison's worker: the last answer while the next is, null before the first; `pending`
    // says whether one is being worked out.
    std::shared_ptr<const TreeFilterMatches>
    ChangedAmong(std::shared_ptr<const TreeFilterMatches> textMatches, bool& pending);

    const std::string oldPath;
    const std::string newPath;

    // One run of the comparison on a worker of its own; its destructor waits for it.
    struct Task
    {
        ThreadPool pool{1};
        PolledAnswer<std::shared_ptr<const ComparedModels>> answer;
        // The text matches asked about last, not kept: the tree filter frees them off this thread.
        std::weak_ptr<const TreeFilterMatches> amongAsked;
        PolledAnswer<std::shared_ptr<const TreeFilterMatches>> among;
        std::shared_ptr<const TreeFilterMatches> amongShown; // the last answer
        ~Task();
        std::shared_ptr<const ComparedModels> Run(std::shared_ptr<const Workspace> oldModel,
                                                  std::shared_ptr<const Workspace> newModel);
        std::shared_ptr<const TreeFilterMatches> Among(std::shared_ptr<const ComparedModels> compared,
                                                       std::shared_ptr<const TreeFilterMatches> textMatches);
    };

private:
    std::shared_ptr<State> newSide;
    std::shared_ptr<const Workspace> comparedOld; // the open version the task compares
    bool openFailed = false;                      // the open document did not load: nothing to compare
    std::shared_ptr<Task> task;
};
