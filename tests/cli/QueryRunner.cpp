#include "cli/QueryRunner.h"

#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {
std::string ReadFile(const std::string& path)
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}
} // namespace

std::vector<nlohmann::json> QueryRun::Lines() const
{
    std::vector<nlohmann::json> lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(nlohmann::json::parse(line, nullptr, false));
    for (const nlohmann::json& line : lines)
        EXPECT_FALSE(line.is_discarded()) << "not a JSON line in:\n" << out;
    return lines;
}

QueryRun RunQuery(const std::vector<std::string>& args, const std::string& stdoutPath)
{
    // Files rather than pipes: no risk of the child blocking on a full pipe while we wait.
    TempDir dir;
    std::string outPath = stdoutPath.empty() ? dir.File("out") : stdoutPath, errPath = dir.File("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeEnds[2] = {-1, -1};
    if (stdoutPath == kClosedPipe) {
        EXPECT_EQ(pipe(pipeEnds), 0);
        close(pipeEnds[0]);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // TESSARO_QUERY runs the tests against another build of the tool, e.g. to record answers.
    const char* executable = std::getenv("TESSARO_QUERY");
    std::vector<std::string> argvStrings{executable ? executable : TESSARO_QUERY_EXECUTABLE};
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvStrings)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    QueryRun run;
    pid_t pid = 0;
    int status = 0;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[1] >= 0)
        close(pipeEnds[1]);
    // A run that hangs is ended and reported rather than waited for.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    pid_t ended = 0;
    while (pid > 0 && (ended = waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (pid > 0 && ended == 0) {
        kill(pid, SIGKILL);
        ended = waitpid(pid, &status, 0);
        ADD_FAILURE() << "tessaro-query still running after 120 s, ended";
    }
    if (pid > 0 && ended == pid)
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = stdoutPath.empty() ? ReadFile(outPath) : "";
    run.err = ReadFile(errPath);
    return run;
}
