#pragma once

#include "concurrency/ThreadPool.h"
#include "document/State.h"

#include <memory>
#include <string>

// "Could not load the file PATH: REASON", the message of every failed load.
std::string LoadFailureMessage(const std::string& path, const std::string& reason);
// "Could not index the file PATH: REASON", when the document was read but its index could not be built.
std::string IndexFailureMessage(const std::string& path, const std::string& reason);

// Reads and parses a plain XML file or the first .arxml member of a ZIP archive (extension exactly
// "zip"). Throws std::runtime_error with the reason.
std::shared_ptr<pugi::xml_document> ReadDocument(const std::string& path);

// Reads and parses a plain XML file or the first .arxml member of a ZIP archive on a worker.
class LoadingState : public State
{
public:
    // The state that opens `path`: a LoadingState, a WorkspaceLoadingState for a folder, or an
    // ErrorState when its worker cannot start.
    static std::shared_ptr<State> Start(std::string path);

    explicit LoadingState(std::string filePath);
    ~LoadingState() override;

    StateKind GetKind() const override { return StateKind::Loading; }
    std::shared_ptr<State> Update() override;
    void OpenFile(std::string path) override;

    // The task; public so that the pool can bind it.
    std::shared_ptr<pugi::xml_document> Load();

private:
    ThreadPool pool;
    Future<std::shared_ptr<pugi::xml_document>> future;
};
