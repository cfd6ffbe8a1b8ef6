#include "cli/QueryRunner.h"

#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

extern char** environ;

namespace {
std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
} // namespace

std::vector<nlohmann::json> QueryRun::Lines() const
{
    std::vector<nlohmann::json> lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);) {
        try {
            lines.push_back(nlohmann::json::parse(line));
        } catch (const nlohmann::json::exception& e) {
            ADD_FAILURE() << "not a JSON line: " << line << " (" << e.what() << ")";
        }
    }
    return lines;
}

QueryRun RunQuery(const std::vector<std::string>& args, const std::string& stdoutPath)
{
    // Files rather than pipes: no risk of the child blocking on a full pipe while we wait.
    TempDir dir;
    std::string outPath = stdoutPath.empty() ? dir.File("out") : stdoutPath;
    std::string errPath = dir.File("err");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<std::string> argvStrings{TESSARO_QUERY_EXECUTABLE};
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvStrings)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    QueryRun run;
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "could not start " << argv[0];
        return run;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (stdoutPath.empty())
        run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    return run;
}
