#pragma once

#include "concurrency/ThreadPool.h"
#include "document/State.h"

#include <memory>
#include <string>
#include <vector>

// "Could not load the file PATH: REASON", the message of every failed load.
std::string LoadFailureMessage(const std::string& path, const std::string& reason);
// "Could not index the file PATH: REASON", when the document was read but its index could not be built.
std::string IndexFailureMessage(const std::string& path, const std::string& reason);

// Reads and parses a plain XML file or the first .arxml member of a ZIP archive (extension exactly
// "zip"). Throws std::runtime_error with the reason.
std::shared_ptr<pugi::xml_document> ReadDocument(const std::string& path);

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
