#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/JsonLinesWriter.h"
#include "cli/WorkspaceCommands.h"
#include "concurrency/ThreadStart.h"
#include "document/DocumentParser.h"
#include "model/Workspace.h"
#include "platform/Platform.h"
#include "query/ReadyState.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
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
};

// The viewer's road from a path to a ready document, with a frame every millisecond; null when
// the deadline passes first.
std::shared_ptr<State> LoadDocument(const std::string& path, const Deadline& deadline)
{
    std::shared_ptr<State> state = std::make_shared<InitialState>();
    state->OpenFile(path);
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

// Folders are expanded to their files; the order given is kept.
std::vector<std::string> WorkspacePaths(const std::vector<std::string>& given)
{
    std::vector<std::string> paths;
    for (const std::string& path : given) {
        std::error_code ignored;
        if (std::filesystem::is_directory(path, ignored)) {
            std::vector<std::string> inside = ListWorkspaceFiles(path);
            paths.insert(paths.end(), inside.begin(), inside.end());
        } else {
            paths.push_back(path);
        }
    }
    return paths;
}

bool IsWorkspace(const Invocation& invocation)
{
    std::error_code ignored;
    return invocation.files.size() > 1 || std::filesystem::is_directory(invocation.file, ignored);
}

// Every file on the workers, one per core; nothing when the deadline passes first.
std::shared_ptr<Workspace> LoadWorkspace(const std::vector<std::string>& paths, const Deadline& deadline)
{
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    std::shared_ptr<Workspace> workspace;
    std::thread loader = StartThread([&] {
        try {
            workspace = ::LoadWorkspace(paths, std::max(1u, std::thread::hardware_concurrency()), stop);
        } catch (const std::exception&) {
            workspace = std::make_shared<Workspace>(std::vector<WorkspaceFile>()); // no file loaded
        }
        done = true;
    });
    while (!done && !deadline.Passed())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = !done;
    loader.join();
    if (stop)
        return nullptr;
    return workspace;
}

int TimedOut(const Invocation& invocation)
{
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%g", invocation.timeoutSeconds);
    ErrorLine(std::string("tessaro-query: no answer within ") + seconds + " s (see --timeout)");
    return kTimedOut;
}
int AnswerForWorkspace(const Invocation& invocation, const Deadline& deadline)
{
    std::vector<std::string> paths = WorkspacePaths(invocation.files);
    if (paths.empty()) {
        ErrorLine("Could not load the file " + invocation.file + ": no .arxml file or .zip archive in it");
        return kNotLoaded;
    }
    std::shared_ptr<Workspace> workspace = LoadWorkspace(paths, deadline);
    if (!workspace)
        return TimedOut(invocation);
    for (const WorkspaceFile& file : workspace->Files()) {
        if (!file.error.empty())
            ErrorLine(file.error);
    }
    if (workspace->LoadedCount() == 0)
        return kNotLoaded;

    JsonLinesWriter out(stdout);
    if (!RunWorkspaceCommand(*workspace, invocation, deadline, out))
        return TimedOut(invocation);
    if (!out.Finish()) {
        ErrorLine("tessaro-query: could not write the output");
        return kOutputFailed;
    }
    return kAnswered;
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
    if (IsWorkspace(invocation))
        return AnswerForWorkspace(invocation, deadline);
    std::shared_ptr<State> state = LoadDocument(invocation.file, deadline);
    if (!state)
        return TimedOut(invocation);
    auto ready = std::dynamic_pointer_cast<ReadyState>(state);
    if (!ready) {
        ErrorLine(state->GetErrorMessage());
        return kNotLoaded;
    }

    JsonLinesWriter out(stdout);
    if (!RunCommand(*ready, invocation, deadline, out))
        return TimedOut(invocation);
    if (!out.Finish()) {
        ErrorLine("tessaro-query: could not write the output");
        return kOutputFailed;
    }
    return kAnswered;
}
