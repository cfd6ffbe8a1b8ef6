#pragma once

#include "lifecycle/State.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

// Reports a broken invariant and aborts, so that libFuzzer keeps the input that broke it.
[[noreturn]] void FuzzFailure(const char* file, int line, const std::string& what);

#define FUZZ_CHECK(condition, what)                                                                          \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            FuzzFailure(__FILE__, __LINE__, std::string(#condition) + ": " + (what));                        \
    } while (false)

// A private directory of this fuzzing process, removed when it exits.
const std::string& ScratchDirectory();

// Writes the input to `name` in the scratch directory and returns the file's path.
std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size);

// The start of the message of every failed load, followed by the path.
inline const std::string kLoadFailure = "Could not load the file ";

// How long any single wait of a target may take before it counts as a hang.
inline constexpr auto kWaitLimit = std::chrono::seconds(30);

// Opens `path` from a fresh initial state, as the viewer does, and returns the loading state.
std::shared_ptr<State> OpenInViewer(const std::string& path);

// Calls Update() as the frame loop would until the state is no longer of `kind`.
std::shared_ptr<State> UpdateWhile(std::shared_ptr<State> state, StateKind kind);

// Asks a query again until it is neither Pending nor Partial, as the windows do every frame.
template <class Query> auto PollUntilFinal(Query&& query)
{
    auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    auto result = query();
    while (result.status == ResultStatus::Pending || result.status == ResultStatus::Partial) {
        FUZZ_CHECK(std::chrono::steady_clock::now() < deadline, "a query never became final");
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        result = query();
    }
    return result;
}
