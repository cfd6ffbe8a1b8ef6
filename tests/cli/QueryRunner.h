#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// What one run of the real tessaro-query executable left behind.
struct QueryRun
{
    int exitCode = -1;
    std::string out;
    std::string err;

    // Every line of standard output parsed as JSON; a line that does not parse fails the test.
    std::vector<nlohmann::json> Lines() const;
};

// Given as `stdoutPath`: standard output is a pipe whose reading end is already closed.
inline const std::string kClosedPipe = "<closed pipe>";

// Runs tessaro-query with `args` and waits for it (at most 120 s: a hang fails the test). Standard
// output goes to `stdoutPath` when given.
QueryRun RunQuery(const std::vector<std::string>& args, const std::string& stdoutPath = "");
