#include "support/TestDocuments.h"

#include "concurrency/WakeHook.h"
#include "lifecycle/LoadingState.h"
#include "model/Workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <thread>

std::shared_ptr<pugi::xml_document> ParseDocument(const std::string& xml)
{
    auto document = std::make_shared<pugi::xml_document>();
    pugi::xml_parse_result parsed = document->load_string(xml.c_str());
    EXPECT_EQ(parsed.status, pugi::status_ok) << parsed.description();
    return document;
}

TempDir::TempDir()
{
    std::random_device random;
    path = std::filesystem::temp_directory_path() / ("tessaro-test-" + std::to_string(random()));
    std::filesystem::create_directories(path);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& content) const
{
    std::string file = File(name);
    std::ofstream(file, std::ios::binary) << content;
    return file;
}

std::shared_ptr<State> UpdateUntil(std::shared_ptr<State> state, StateKind kind)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (state->GetKind() != kind && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        state = state->Update();
    }
    return state;
}

std::shared_ptr<State> OpenAndSettle(const std::string& path)
{
    std::shared_ptr<State> state = std::make_shared<InitialState>();
    state->OpenFile(path);
    state = state->Update();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (state->GetKind() != StateKind::Ready && state->GetKind() != StateKind::Error &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        state = state->Update();
    }
    return state;
}

std::vector<std::filesystem::path> SharedArxmlFiles()
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(TESSARO_SHARED_ARXML_DIR, error)) {
        if (entry.path().extension() == ".arxml")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool WaitUntil(const std::function<bool()>& condition, double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

double SecondsOf(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The hook holds its own share of the counter: a wake-up still on its way when the counter is
// gone must not touch freed memory.
WakeCounter::WakeCounter()
{
    SetWakeHook([count = count] { ++*count; });
}

WakeCounter::~WakeCounter()
{
    SetWakeHook(nullptr);
}

bool WakeCounter::WaitFor(int n) const
{
    return WaitUntil([&] { return Count() >= n; });
}

const Index& OnlyIndex(const State& ready)
{
    return *ready.GetWorkspace()->Files().at(0).index;
}
