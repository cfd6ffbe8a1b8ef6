#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/JsonLinesWriter.h"
#include "query/ReadyState.h"

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
};

// The viewer's road from a path to a ready document, with a frame every millisecond.
std::shared_ptr<State> LoadDocument(const std::string& path)
{
    std::shared_ptr<State> state = std::make_shared<InitialState>();
    state->OpenFile(path);
    for (;;) {
        state = state->Update();
        StateKind kind = state->GetKind();
        if (kind == StateKind::Ready || kind == StateKind::Error)
            return state;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void ErrorLine(const std::string& message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
}
} // namespace

int main(int argc, char** argv)
{
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
    std::shared_ptr<State> state = LoadDocument(invocation.file);
    auto ready = std::dynamic_pointer_cast<ReadyState>(state);
    if (!ready) {
        ErrorLine(state->GetErrorMessage());
        return kNotLoaded;
    }

    JsonLinesWriter out(stdout);
    RunCommand(*ready, invocation, out);
    if (!out.Finish()) {
        ErrorLine("tessaro-query: could not write the output");
        return kOutputFailed;
    }
    return kAnswered;
}
