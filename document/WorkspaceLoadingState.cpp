#include "document/WorkspaceLoadingState.h"

#include "document/LoadingState.h"
#include "model/Workspace.h"
#include "query/WorkspaceState.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

WorkspaceLoadingState::WorkspaceLoadingState(std::string folder)
    : State(std::move(folder), nullptr), progress(std::make_unique<WorkspaceProgress>()), pool(1)
{
    future = pool.Submit(&WorkspaceLoadingState::Load, this);
}

// Files still loading see the stop request and end early; their documents are never shown.
WorkspaceLoadingState::~WorkspaceLoadingState()
{
    pool.RequestStop();
}

void WorkspaceLoadingState::OpenFile(std::string path)
{
    State::OpenFile(std::move(path));
    pool.RequestStop();
}

std::shared_ptr<const Workspace> WorkspaceLoadingState::Load()
{
    std::vector<ListedFile> listed = ListWorkspaceFiles(filePath, pool.StopFlag());
    if (listed.empty())
        throw std::runtime_error("no .arxml file or .zip archive in it");
    const size_t workers = std::max(1u, std::thread::hardware_concurrency());
    return LoadWorkspace(listed, workers, pool.StopFlag(), progress.get());
}

std::shared_ptr<State> WorkspaceLoadingState::Update()
{
    if (!pendingPath.empty())
        return LoadingState::Start(pendingPath);
    if (!future.IsReady())
        return shared_from_this();
    try {
        return std::make_shared<WorkspaceState>(filePath, future.Get());
    } catch (const std::exception& e) {
        return std::make_shared<ErrorState>(filePath, LoadFailureMessage(filePath, e.what()));
    }
}
