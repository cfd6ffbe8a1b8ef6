#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/DiffCommand.h"
#include "cli/JsonLinesWriter.h"
#include "document/DocumentParser.h"
#include "lifecycle/LoadingState.h"
#include "lifecycle/ReadyState.h"
#include "model/Workspace.h"
#include "platform/Platform.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {
enum ExitCode
{
    kAnswered = 0,
    kNotLoaded = 1,
    kBadUsage = 2,
    kOutputFailed = 3,
    kTimedOut = 4,
    kFilesSkipped = 5,
    // diff, as diff(1) has them
    kDiffer = 1,
    kDiffTrouble = 2,
};

// The viewer's road from a path (or several files and folders, opened together) to a ready
// document, for each side at once, with a frame every millisecond; empty when the deadline passes
// first.
std::vector<std::shared_ptr<State>> LoadDocuments(const std::vector<std::vector<std::string>>& sides,
                                                  const Deadline& deadline)
{
    std::vector<std::shared_ptr<State>> states;
    for (const std::vector<std::string>& files : sides) {
        std::shared_ptr<State> state = std::make_shared<InitialState>();
        if (files.size() > 1)
            state = std::make_shared<LoadingState>(files[0], files);
        else
            state->OpenFile(files[0]);
        states.push_back(std::move(state));
    }
    for (;;) {
        bool settled = true;
        for (std::shared_ptr<State>& state : states) {
            state = state->Update();
            StateKind kind = state->GetKind();
            settled = settled && (kind == StateKind::Ready || kind == StateKind::Error);
        }
        if (settled)
            return states;
        if (deadline.Passed())
            return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void ErrorLine(const std::string& message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
}

int TimedOut(const Invocation& invocation)
{
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%g", invocation.timeoutSeconds);
    ErrorLine(std::string("tessaro-query: no answer within ") + seconds + " s (see --timeout)");
    return kTimedOut;
}

// The ready state of a settled side, once every file that failed is told on standard error; null
// when nothing could be loaded. `skipped` is set when some file failed.
std::shared_ptr<ReadyState> ReadyOrReport(const std::shared_ptr<State>& state, bool& skipped)
{
    auto ready = std::dynamic_pointer_cast<ReadyState>(state);
    if (!ready) {
        ErrorLine(state->GetErrorMessage());
        return nullptr;
    }
    for (const WorkspaceFile& file : ready->GetWorkspace()->Files()) {
        if (!file.error.empty())
            ErrorLine(file.error);
        skipped = skipped || !file.error.empty();
    }
    return ready->GetWorkspace()->LoadedCount() > 0 ? ready : nullptr;
}
// Loads each side into `states` and answers; the exit code. The states are the caller's to keep.
int Answer(const std::vector<std::vector<std::string>>& sides, const Invocation& invocation,
           const Deadline& deadline, int notLoaded, std::vector<std::shared_ptr<State>>& states)
{
    const bool diff = invocation.command == Command::Diff;
    states = LoadDocuments(sides, deadline);
    if (states.empty())
        return TimedOut(invocation);
    bool skipped = false;
    std::vector<std::shared_ptr<ReadyState>> ready;
    for (const std::shared_ptr<State>& state : states) {
        ready.push_back(ReadyOrReport(state, skipped));
        if (!ready.back())
            return notLoaded;
    }

    JsonLinesWriter out(stdout);
    std::optional<size_t> changes = 0;
    if (diff)
        changes =
            WriteChanges(*ready[0]->GetWorkspace(), *ready[1]->GetWorkspace(), invocation, deadline, out);
    if (!changes || (!diff && !RunCommand(*ready[0], invocation, deadline, out)))
        return TimedOut(invocation);
    if (!out.Finish()) {
        ErrorLine("tessaro-query: could not write the output");
        return kOutputFailed;
    }
    if (skipped)
        return kFilesSkipped;
    return *changes > 0 ? kDiffer : kAnswered;
}

// Ends the process without tearing the documents down: freeing a big one block by block, and
// waiting for a load still running, only delays an exit that gives all of it back at once.
[[noreturn]] void Leave(int code)
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}
} // namespace

int main(int argc, char** argv)
{
    // A reader that stops early (`| head -1`) makes writes fail with EPIPE, reported as exit 3,
    // instead of ending the process by SIGPIPE.
    Platform::IgnoreClosedStreams();
    ParsedCommandLine parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.usageError.empty()) {
        ErrorLine("tessaro-query: " + parsed.usageError);
        return kBadUsage;
    }
    const Invocation& invocation = parsed.invocation;
    if (invocation.help) {
        std::fputs(kUsageText, stdout);
        return std::fflush(stdout) == 0 ? kAnswered : kOutputFailed;
    }

    const Command command = invocation.command;
    const bool diff = command == Command::Diff;
    // Like diff(1): 1 says that the versions differ, so a version that cannot be loaded is trouble.
    const int notLoaded = diff ? kDiffTrouble : kNotLoaded;
    std::vector<std::vector<std::string>> sides = {invocation.files};
    if (diff)
        sides.push_back({invocation.argument});
    // An empty path opens nothing: the state machine would wait for a file forever.
    for (const std::vector<std::string>& side : sides) {
        if (side[0].empty()) {
            ErrorLine("Could not load the file ");
            return notLoaded;
        }
    }
    // Only the answers that name lines pay for the table of line starts.
    KeepLineStartsOfParsedDocuments(command == Command::FindRef || command == Command::FindShortName ||
                                    command == Command::RefsTo || diff);
    const Deadline deadline(invocation.timeoutSeconds);
    std::vector<std::shared_ptr<State>> states;
    Leave(Answer(sides, invocation, deadline, notLoaded, states));
}
