#pragma once

#include "concurrency/ThreadPool.h"
#include "document/State.h"

#include <memory>
#include <string>

// Reads and parses a plain XML file or the first .arxml member of a ZIP archive on a worker.
class LoadingState : public State
{
public:
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
