#pragma once

#include "document/State.h"

#include <filesystem>
#include <chrono>
#include <memory>
#include <thread>
#include <string>
#include <vector>

// Parses inline XML for a test; fails the test on a parse error.
std::shared_ptr<pugi::xml_document> ParseDocument(const std::string& xml);

// A fresh temporary directory, removed with the object.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return path; }
    std::string File(const std::string& name) const { return (path / name).string(); }
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path;
};

// Drives Update() as a frame loop would (1 ms apart) until the kind is reached or 60 s pass.
std::shared_ptr<State> UpdateUntil(std::shared_ptr<State> state, StateKind kind);

// Opens a path from a fresh initial state and drives it until it is Ready or Error.
std::shared_ptr<State> OpenAndSettle(const std::string& path);

// Asks a query every millisecond until it is no longer Pending (or Partial), as the GUI would.
template <class Query>
auto PollUntilFinal(Query&& query)
{
    auto result = query();
    for (int i = 0; i < 60000 && (result.status == ResultStatus::Pending || result.status == ResultStatus::Partial); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        result = query();
    }
    return result;
}

// The real ARXML files beside the project, or an empty list when they are absent.
std::vector<std::filesystem::path> SharedArxmlFiles();
