#include "lifecycle/Comparison.h"

#include "concurrency/Reaper.h"
#include "lifecycle/LoadingState.h"

#include <filesystem>

Comparison::Comparison(std::string oldPath, std::string newPath)
    : oldPath(std::move(oldPath)), newPath(std::move(newPath)), newSide(LoadingState::Start(this->newPath))
{}

Comparison::~Comparison()
{
    if (task)
        task->pool.RequestStop();
}

Comparison::Task::~Task()
{
    pool.RequestStop();
    answer.Wait();
    among.Wait();
}

std::shared_ptr<const ComparedModels> Comparison::Task::Run(std::shared_ptr<const Workspace> oldModel,
                                                            std::shared_ptr<const Workspace> newModel)
{
    return CompareForTree(std::move(oldModel), std::move(newModel), pool.StopFlag());
}

std::shared_ptr<const TreeFilterMatches>
Comparison::Task::Among(std::shared_ptr<const ComparedModels> compared,
                        std::shared_ptr<const TreeFilterMatches> textMatches)
{
    return std::make_shared<const TreeFilterMatches>(
        ChangedRowsAmong(*compared, *textMatches, pool.StopFlag()));
}

std::shared_ptr<const TreeFilterMatches>
Comparison::ChangedAmong(std::shared_ptr<const TreeFilterMatches> textMatches, bool& pending)
{
    pending = false;
    const Result<std::shared_ptr<const ComparedModels>> compared = Poll();
    if (compared.status != ResultStatus::Done || !compared.GetValue())
        return nullptr;
    if (textMatches != task->amongAsked.lock()) {
        task->amongAsked = textMatches;
        task->among = {};
        task->among.Start(task->pool.Submit(&Task::Among, task.get(), compared.GetValue(), textMatches));
    }
    const Result<std::shared_ptr<const TreeFilterMatches>> answer = task->among.Poll();
    if (answer.status == ResultStatus::Done)
        task->amongShown = answer.GetValue();
    pending = answer.status == ResultStatus::Pending;
    return task->amongShown;
}

void Comparison::Update(const State& open, Reaper& reaper)
{
    AdvanceState(newSide, reaper);
    openFailed = open.GetKind() == StateKind::Error;
    std::shared_ptr<const Workspace> oldModel = open.GetWorkspace();
    std::shared_ptr<const Workspace> newModel = newSide->GetWorkspace();
    if (!oldModel || !newModel || oldModel == comparedOld)
        return;
    // The open document was loaded again: the last answer places changes on its old nodes.
    if (task) {
        task->pool.RequestStop();
        reaper.Dispose(std::move(task));
    }
    comparedOld = oldModel;
    task = std::make_shared<Task>();
    task->answer.Start(task->pool.Submit(&Task::Run, task.get(), std::move(oldModel), std::move(newModel)));
}

Result<std::shared_ptr<const ComparedModels>> Comparison::Poll()
{
    if (openFailed)
        return Result<std::shared_ptr<const ComparedModels>>::Error("the open document did not load");
    if (newSide->GetKind() == StateKind::Error)
        return Result<std::shared_ptr<const ComparedModels>>::Error(newSide->GetErrorMessage());
    if (!task)
        return Result<std::shared_ptr<const ComparedModels>>::Pending();
    return task->answer.Poll();
}

std::string Comparison::Progress() const
{
    const std::string name = std::filesystem::path(newPath).filename().string();
    switch (newSide->GetKind()) {
        case StateKind::Loading:
            return "Loading " + name + " to compare...";
        case StateKind::Indexing:
            return "Indexing " + name + " to compare...";
        default:
            break;
    }
    return task ? "Comparing with " + name + "..." : "Waiting for the open document...";
}
