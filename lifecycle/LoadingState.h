#pragma once

#include "concurrency/ThreadPool.h"
#include "document/ReadDocument.h"
#include "lifecycle/State.h"

#include <memory>
#include <string>
#include <vector>

// Reads what was opened on a worker: one file is parsed and then indexed by the indexing state; the
// files of a folder are read, parsed and indexed here, one per core, and answered as one model.
class LoadingState : public State
{
public:
    // The state that opens `path`, a file or a folder, or an ErrorState when its worker cannot start.
    static std::shared_ptr<State> Start(std::string path);

    // `together`: files and folders opened as one model, named `filePath`; empty to open `filePath`.
    explicit LoadingState(std::string filePath, std::vector<std::string> together = {});
    ~LoadingState() override;

    StateKind GetKind() const override { return StateKind::Loading; }
    std::shared_ptr<State> Update() override;
    void OpenFile(std::string path) override;
    const WorkspaceProgress* GetWorkspaceProgress() const override { return progress.get(); }

    // One file's document, or every file of a folder with its index.
    struct Loaded
    {
        std::shared_ptr<pugi::xml_document> document;
        std::shared_ptr<const Workspace> workspace;
    };
    // The task; public so that the pool can bind it.
    Loaded Load();

private:
    const std::vector<std::string> together;
    std::unique_ptr<WorkspaceProgress> progress; // for a folder only; outlives the pool, whose task writes it
    ThreadPool pool;
    Future<Loaded> future;
};
