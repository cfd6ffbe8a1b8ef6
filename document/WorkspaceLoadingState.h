#pragma once

#include "concurrency/ThreadPool.h"
#include "document/State.h"

#include <memory>
#include <string>

class Workspace;

// Reads, parses and indexes every file of a folder, on one worker per core.
class WorkspaceLoadingState : public State
{
public:
    explicit WorkspaceLoadingState(std::string folder);
    ~WorkspaceLoadingState() override;

    StateKind GetKind() const override { return StateKind::Loading; }
    std::shared_ptr<State> Update() override;
    void OpenFile(std::string path) override;
    const WorkspaceProgress* GetWorkspaceProgress() const override { return progress.get(); }

    // The task; public so that the pool can bind it.
    std::shared_ptr<const Workspace> Load();

private:
    std::unique_ptr<WorkspaceProgress> progress; // outlives the pool, whose task writes it
    ThreadPool pool;
    Future<std::shared_ptr<const Workspace>> future;
};
