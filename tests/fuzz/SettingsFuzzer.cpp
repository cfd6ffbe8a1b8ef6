// Any bytes as conf.json: whatever is loaded survives a save and a second load unchanged.
#include "FuzzSupport.h"

#include "settings/Settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <streambuf>

namespace fs = std::filesystem;

namespace {
std::string ReadWholeFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every load failure is reported on standard error; at thousands of inputs a second that drowns
// the fuzzer's own output.
struct NullBuffer : std::streambuf
{
    int overflow(int c) override { return c; }
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ::setenv("USERPROFILE", ScratchDirectory().c_str(), 1);
    static NullBuffer discard;
    std::cerr.rdbuf(&discard);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fs::path directory = GetConfigDirectory();
    FUZZ_CHECK(fs::path(directory).parent_path() == fs::path(ScratchDirectory()),
               "settings outside the scratch directory");
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(directory, ignored))
        fs::remove_all(entry.path(), ignored);
    WriteScratchFile(".Tessaro/conf.json", data, size);

    // Loading replaces both collections or leaves them as they were. No parsed JSON string holds
    // the byte 0xFF, so the marker survives exactly when the file was not taken.
    const std::string marker = "\xff";
    Settings loaded;
    loaded.bookmarks.insert(marker);
    LoadSettings(loaded);
    if (loaded.bookmarks.count(marker)) {
        // A file that could not be taken holds someone's settings all the same: a save with this
        // run's own changes must leave it exactly as it was.
        Settings changed;
        changed.bookmarks.insert("/Fuzz/Added");
        AddRecentFile(changed.recentOpenFiles, "added.arxml");
        changed.openedFiles.insert("added.arxml");
        SaveSettings(changed);
        FUZZ_CHECK(ReadWholeFile(directory / "conf.json") ==
                       std::string(reinterpret_cast<const char*>(data), size),
                   "a file that could not be read was replaced");
        return 0;
    }

    SaveSettings(loaded);
    Settings reloaded;
    LoadSettings(reloaded);
    FUZZ_CHECK(reloaded.bookmarks == loaded.bookmarks, "bookmarks changed across a save");
    FUZZ_CHECK(reloaded.recentOpenFiles == loaded.recentOpenFiles, "recent files changed across a save");
    return 0;
}
