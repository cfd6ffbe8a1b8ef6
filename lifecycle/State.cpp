#include "lifecycle/State.h"

#include "concurrency/Reaper.h"
#include "document/CarriedHash.h"
#include "lifecycle/LoadingState.h"

#include <utility>

namespace {
template <class T> Result<T> NotLoaded()
{
    static const Result<T> notLoaded = Result<T>::Error(kNotLoadedMessage);
    return notLoaded;
}

std::shared_ptr<State> OpenPendingOrStay(State& self, const std::string& pendingPath)
{
    if (!pendingPath.empty())
        return LoadingState::Start(pendingPath);
    return self.shared_from_this();
}
} // namespace

State::State(std::string filePath, std::shared_ptr<pugi::xml_document> document)
    : id(static_cast<size_t>(CarriedHash::Of(filePath))), filePath(std::move(filePath)),
      document(std::move(document))
{}

void State::OpenFile(std::string path)
{
    pendingPath = std::move(path);
}
std::string State::GetErrorMessage() const
{
    return {};
}
std::string State::GetFilePath() const
{
    return filePath;
}
Result<Ref> State::FindRef(std::string)
{
    return NotLoaded<Ref>();
}
Result<Ref> State::FindShortName(std::string)
{
    return NotLoaded<Ref>();
}
Result<std::vector<Ref>> State::FindRefsTo(std::string)
{
    return NotLoaded<std::vector<Ref>>();
}
Result<std::vector<Ref>> State::FullTextSearch(std::string, bool, size_t)
{
    return NotLoaded<std::vector<Ref>>();
}

HitContext State::FullTextHitContext(size_t)
{
    return {};
}
Result<size_t> State::CountRefsTo(std::string)
{
    return NotLoaded<size_t>();
}
Result<TreeFilterMatches> State::FilterTree(const TreeFilterQuery&)
{
    return NotLoaded<TreeFilterMatches>();
}
Result<TreeFilterMatches> State::ListShortNames(std::string, bool)
{
    return NotLoaded<TreeFilterMatches>();
}

Result<std::vector<BrokenRef>> State::FindBrokenRefs()
{
    return NotLoaded<std::vector<BrokenRef>>();
}

Result<std::string> State::CompleteRefPath(std::string)
{
    return NotLoaded<std::string>();
}

std::string State::ResolvedReference(pugi::xml_node) const
{
    return {};
}

std::shared_ptr<State> InitialState::Update()
{
    return OpenPendingOrStay(*this, pendingPath);
}

ErrorState::ErrorState(std::string filePath, std::string message)
    : State(std::move(filePath), nullptr), message(std::move(message))
{}

std::shared_ptr<State> ErrorState::Update()
{
    return OpenPendingOrStay(*this, pendingPath);
}

void AdvanceState(std::shared_ptr<State>& state, Reaper& reaper)
{
    std::shared_ptr<State> next = state->Update();
    if (next != state)
        reaper.Dispose(std::exchange(state, std::move(next)));
}
