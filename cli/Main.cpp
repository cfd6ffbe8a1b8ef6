#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/JsonLinesWriter.h"
#include "document/DocumentParser.h"
#include "lifecycle/LoadingState.h"
#include "lifecycle/ReadyState.h"
#include "model/Workspace.h"
#include "platform/Platform.h"

#include <chrono>
#include <cstdio>
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
};

// The viewer's road from a path (or several files and folders, opened together) to a ready
// document, with a frame every millisecond; null when the deadline passes first.
std::shared_ptr<State> LoadDocument(const Invocation& invocation, const Deadline& deadline)
{
    std::shared_ptr<State> state = std::make_shared<InitialState>();
    if (invocation.files.size() > 1)
        state = std::make_shared<LoadingState>(invocation.file, invocation.files);
    else
        state->OpenFile(invocation.file);
    for (;;) {
        state = state->Update();
        StateKind kind = state->GetKind();
        if (kind == StateKind::Ready || kind == StateKind::Error)
            return state;
        if (deadline.Passed())
            return nullptr;
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

    // An empty path opens nothing: the state machine would wait for a file forever.
    if (invocation.file.empty()) {
        ErrorLine("Could not load the file ");
        return kNotLoaded;
    }
    // Only the answers that name lines pay for the table of line starts.
    const Command command = invocation.command;
    KeepLineStartsOfParsedDocuments(command == Command::FindRef || command == Command::FindShortName ||
                                    command == Command::RefsTo);
    const Deadline deadline(invocation.timeoutSeconds);
    std::shared_ptr<State> state = LoadDocument(invocation, deadline);
    if (!state)
        return TimedOut(invocation);
    auto ready = std::dynamic_pointer_cast<ReadyState>(state);
    if (!ready) {
        ErrorLine(state->GetErrorMessage());
        return kNotLoaded;
    }
    bool skipped = false;
    for (const WorkspaceFile& file : ready->GetWorkspace()->Files()) {
        if (!file.error.empty())
            ErrorLine(file.error);
        skipped = skipped || !file.error.empty();
    }
    if (ready->GetWorkspace()->LoadedCount() == 0)
        return kNotLoaded;

    JsonLinesWriter out(stdout);
    if (!RunCommand(*ready, invocation, deadline, out))
        return TimedOut(invocation);
    if (!out.Finish()) {
        ErrorLine("tessaro-query: could not write the output");
        return kOutputFailed;
    }
    return skipped ? kFilesSkipped : kAnswered;
}
