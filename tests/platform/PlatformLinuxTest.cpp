#include "platform/Platform.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Platform::CountProcessesNamed;
using namespace std::string_literals;

namespace {

std::string ReadFile(const fs::path& path)
{
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Child processes of this process, running or ended but not reaped.
std::vector<pid_t> ChildProcesses()
{
    std::vector<pid_t> children;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::string stat = ReadFile(entry.path() / "stat");
        const size_t nameEnd = stat.rfind(')');
        if (nameEnd == std::string::npos)
            continue;                                           // not a process, or it ended meanwhile
        std::istringstream afterName(stat.substr(nameEnd + 1)); // state, then parent id
        char state = 0;
        int parent = 0;
        if (afterName >> state >> parent && parent == getpid())
            children.push_back(std::stoi(entry.path().filename().string()));
    }
    return children;
}

// Polls for up to 5 s; the answer is that of the last poll, never of a later one.
template <class Condition> bool Eventually(Condition condition)
{
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        usleep(10000);
    }
    return condition();
}

pid_t Start(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), nullptr), 0) << arguments[0];
    return pid;
}

} // namespace

TEST(Platform, ExecutablePathAndNameAreThoseOfThisProgram)
{
    fs::path expected = fs::canonical(fs::path(TESSARO_TEST_HELPER_DIR) / "tessaro-core-tests");
    EXPECT_EQ(Platform::GetExecutablePath(), expected.string());
    EXPECT_EQ(Platform::GetExecutableName(), "tessaro-core-tests");
    EXPECT_GE(CountProcessesNamed("TESSARO-core-TESTS"), 1); // the caller counts itself
}

TEST(Platform, CountsRunningCopiesByNameWhateverTheCase)
{
    // A name of this run's own, so that tests running elsewhere at the same time do not count.
    TempDir directory;
    std::string name = "TsrCount" + std::to_string(getpid());
    fs::path copy = directory.Path() / name;
    fs::copy_file(TESSARO_PLATFORM_HELPER, copy);
    std::vector<pid_t> copies;
    for (int i = 0; i < 3; ++i)
        copies.push_back(Start({copy.string(), "sleep", "60"}));
    EXPECT_EQ(CountProcessesNamed(name), 3);
    EXPECT_EQ(CountProcessesNamed("TSRCOUNT" + std::to_string(getpid())), 3);
    EXPECT_EQ(CountProcessesNamed(name.substr(1)), 0);

    fs::remove(copy); // still copies when their file was removed or replaced, as by a rebuild
    EXPECT_EQ(CountProcessesNamed(name), 3);
    for (pid_t pid : copies) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    EXPECT_EQ(CountProcessesNamed(name), 0);
}

TEST(Platform, SpawnPassesArgumentsVerbatimAndLeavesNoZombie)
{
    TempDir directory;
    fs::path record = directory.Path() / "arguments";
    ASSERT_TRUE(Platform::SpawnDetached({TESSARO_PLATFORM_HELPER, "record", record.string(),
                                         "C:\\my files\\a b.arxml", "\"q\" $HOME *; x", ""}));
    ASSERT_TRUE(Eventually([&] { return fs::exists(record); }));
    EXPECT_EQ(ReadFile(record), "C:\\my files\\a b.arxml\0\"q\" $HOME *; x\0\0"s);
    EXPECT_FALSE(Platform::SpawnDetached({(directory.Path() / "missing").string()}));

    // Detached children are reaped by the program itself, so once they have ended the caller's
    // own unreaped child is its only one. That state, once reached, lasts until the caller reaps.
    pid_t own = Start({"/bin/true"});
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(Platform::SpawnDetached({"/bin/true"}));
    EXPECT_TRUE(Eventually([&] { return ChildProcesses() == std::vector<pid_t>{own}; }))
        << ChildProcesses().size() << " children left";
    EXPECT_EQ(waitpid(own, nullptr, 0), own);
}

// The dialog program found first on PATH is asked for ARXML files first, any file second. It runs
// while the caller goes on, and a second request while it is open does nothing.
TEST(Platform, OpenFileDialogOffersArxmlFilesThenAllFilesAndAnswersLater)
{
    TempDir bin;
    const fs::path argumentsFile = bin.Path() / "arguments";
    const fs::path release = bin.Path() / "release";
    // Answers once the test lets it, or after 10 s at the latest.
    const std::string fake = bin.Write(
        "zenity", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + argumentsFile.string() + "'\n" +
                      "i=0; while [ ! -e '" + release.string() + "' ] && [ $i -lt 200 ]; do sleep 0.05; " +
                      "i=$((i+1)); done\necho /data/chosen.arxml\n");
    fs::permissions(fake, fs::perms::owner_all);
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    setenv("PATH", (bin.Path().string() + ":" + saved).c_str(), 1);
    std::mutex mutex;
    std::vector<std::string> chosen;
    Platform::ShowOpenFileDialog([&](const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex);
        chosen.push_back(path);
    });
    auto answers = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return chosen;
    };
    EXPECT_TRUE(answers().empty()) << "the call returned while the dialog is open";
    ASSERT_TRUE(Eventually([&] { return fs::exists(argumentsFile); }));
    Platform::ShowOpenFolderDialog([&](const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex);
        chosen.push_back("second " + path);
    });
    std::ofstream(release).put('x');
    const bool answered = Eventually([&] { return !answers().empty(); });
    setenv("PATH", saved.c_str(), 1);
    ASSERT_TRUE(answered);
    EXPECT_EQ(answers(), std::vector<std::string>{"/data/chosen.arxml"});

    const std::string arguments = ReadFile(argumentsFile);
    const size_t arxml = arguments.find("--file-filter=ARXML files (*.arxml, *.zip) | *.arxml *.zip\n");
    const size_t all = arguments.find("--file-filter=All files | *\n");
    ASSERT_NE(arxml, std::string::npos) << arguments;
    ASSERT_NE(all, std::string::npos) << arguments;
    EXPECT_LT(arxml, all);
}

// A failure is written to standard error and shown by the desktop's box program, which gets the
// text verbatim and is left running: the program's exit never waits for the box to be closed.
TEST(Platform, FailureIsToldOnStandardErrorAndInABoxLeftOpen)
{
    TempDir bin;
    const fs::path argumentsFile = bin.Path() / "arguments";
    const fs::path release = bin.Path() / "release";
    const fs::path closed = bin.Path() / "closed";
    const std::string fake = bin.Write(
        "zenity", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + argumentsFile.string() + "'\n" +
                      "i=0; while [ ! -e '" + release.string() + "' ] && [ $i -lt 200 ]; do sleep 0.05; " +
                      "i=$((i+1)); done\ntouch '" + closed.string() + "'\n");
    fs::permissions(fake, fs::perms::owner_all);
    const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    const char* oldDisplay = std::getenv("DISPLAY");
    const std::string savedDisplay = oldDisplay ? oldDisplay : "";
    setenv("PATH", (bin.Path().string() + ":" + savedPath).c_str(), 1);
    setenv("DISPLAY", ":99", 1);
    testing::internal::CaptureStderr();
    Platform::ShowFailure("a <b>bold</b> & odd failure");
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(fs::exists(closed)) << "waited for the box to close";
    const bool boxShown = Eventually([&] { return !ReadFile(argumentsFile).empty(); });
    std::ofstream(release).put('x');
    setenv("PATH", savedPath.c_str(), 1);
    oldDisplay ? setenv("DISPLAY", savedDisplay.c_str(), 1) : unsetenv("DISPLAY");
    EXPECT_EQ(written, "tessaro: a <b>bold</b> & odd failure\n");
    ASSERT_TRUE(boxShown);
    const std::string arguments = ReadFile(argumentsFile);
    EXPECT_NE(arguments.find("--no-markup\n"), std::string::npos) << arguments;
    EXPECT_NE(arguments.find("--text=a <b>bold</b> & odd failure\n"), std::string::npos) << arguments;
}

TEST(Platform, AFileHasOneIdentityWhateverNameReachesIt)
{
    TempDir dir;
    const std::string file = dir.Write("a.arxml", "<AUTOSAR/>");
    const std::string other = dir.Write("b.arxml", "<AUTOSAR/>");
    fs::create_symlink(file, dir.Path() / "link.arxml");
    fs::create_directory_symlink(".", dir.Path() / "self");
    EXPECT_EQ(Platform::IdentifyFile(dir.File("link.arxml")), Platform::IdentifyFile(file));
    EXPECT_EQ(Platform::IdentifyFile(dir.File("self")), Platform::IdentifyFile(dir.Path().string()));
    EXPECT_NE(Platform::IdentifyFile(other), Platform::IdentifyFile(file));
    EXPECT_FALSE(Platform::IdentifyFile(dir.File("missing")));
}

// Pages are brought in under a block that starts past a page boundary, as the text of a document
// does behind its header, while another thread fills the block from the front: every byte written,
// before or meanwhile, stays.
TEST(Platform, FaultingPagesInKeepsWhatTheyHold)
{
    const size_t mapped = size_t(8) << 20;
    auto* base = static_cast<unsigned char*>(Platform::MapPages(mapped, size_t(2) << 20));
    ASSERT_NE(base, nullptr);
    unsigned char* block = base + 16;
    const size_t size = mapped - 16;
    std::memset(block, 0x5a, 4096);
    std::thread writer([&] {
        for (size_t at = 4096; at < size; ++at)
            block[at] = static_cast<unsigned char>(at);
    });
    Platform::FaultInPages(block, size);
    writer.join();
    size_t lost = 0;
    for (size_t at = 0; at < size; ++at)
        lost += block[at] != (at < 4096 ? 0x5a : static_cast<unsigned char>(at));
    EXPECT_EQ(lost, 0u);
    Platform::UnmapPages(base, mapped);
}
