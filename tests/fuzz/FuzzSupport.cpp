#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

void FuzzFailure(const char* file, int line, const std::string& what)
{
    std::fprintf(stderr, "\n%s:%d: invariant broken: %s\n", file, line, what.c_str());
    std::abort();
}

namespace {
struct Scratch
{
    std::string path;
    ~Scratch()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};
} // namespace

const std::string& ScratchDirectory()
{
    static const Scratch scratch = [] {
        std::string pattern = (fs::temp_directory_path() / "tessaro-fuzz-XXXXXX").string();
        FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr, "cannot create a scratch directory");
        return Scratch{pattern};
    }();
    return scratch.path;
}

std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size)
{
    std::string path = (fs::path(ScratchDirectory()) / name).string();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    file.close();
    FUZZ_CHECK(file.good(), "cannot write " + path);
    return path;
}

std::shared_ptr<State> OpenInViewer(const std::string& path)
{
    std::shared_ptr<State> state = std::make_shared<InitialState>();
    state->OpenFile(path);
    state = state->Update();
    FUZZ_CHECK(state->GetKind() == StateKind::Loading, "opening a file does not start loading it");
    return state;
}

std::shared_ptr<State> UpdateWhile(std::shared_ptr<State> state, StateKind kind)
{
    auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    while (state->GetKind() == kind) {
        FUZZ_CHECK(std::chrono::steady_clock::now() < deadline,
                   "the state stayed " + std::to_string(int(kind)) + " past the time limit");
        std::this_thread::sleep_for(std::chrono::microseconds(20));
        state = state->Update();
    }
    return state;
}
