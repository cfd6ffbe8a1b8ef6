#include "settings/Settings.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path)
{
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Waits up to 30 s for a byte on `fd`; false on time-out or a closed pipe.
bool ReadByte(int fd)
{
    pollfd p{fd, POLLIN, 0};
    char c;
    return ::poll(&p, 1, 30000) == 1 && ::read(fd, &c, 1) == 1;
}

// Waits up to 60 s for the child; its exit code, or -1.
int Reap(pid_t pid)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        usleep(1000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts the settings helper with `arguments`; with pipes for its standard input and output
// when `input` and `output` are given.
pid_t StartCopy(const std::vector<std::string>& arguments, int* input = nullptr, int* output = nullptr)
{
    std::vector<std::string> all{TESSARO_SETTINGS_COPY};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    int toChild[2] = {-1, -1};
    int fromChild[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input && output) {
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    }
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (input && output) {
        ::close(toChild[0]);
        ::close(fromChild[1]);
        *input = toChild[1];
        *output = fromChild[0];
    }
    return pid;
}

// Another copy of the program: a process that loads the settings at its start, makes `changes`
// (see the helper), and saves them when told to close.
class Window
{
public:
    explicit Window(const std::vector<std::string>& changes)
    {
        std::vector<std::string> arguments{"window"};
        arguments.insert(arguments.end(), changes.begin(), changes.end());
        pid = StartCopy(arguments, &closing, &loaded);
        started = pid > 0 && ReadByte(loaded);
    }
    ~Window()
    {
        for (int fd : {loaded, closing})
            if (fd >= 0)
                ::close(fd);
        if (pid > 0 && !reaped)
            Reap(pid);
    }
    bool Started() const { return started; }
    int Close()
    {
        reaped = true;
        return ::write(closing, "c", 1) == 1 ? Reap(pid) : -1;
    }

private:
    int loaded = -1;
    int closing = -1;
    pid_t pid = -1;
    bool started = false;
    bool reaped = false;
};

class SettingsSharingTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (const char* value = std::getenv("HOME"))
            savedHome = value;
        fs::create_directories(directory);
        setenv("HOME", temp.Path().c_str(), 1);
        unsetenv("USERPROFILE");
    }
    void TearDown() override { savedHome.empty() ? unsetenv("HOME") : setenv("HOME", savedHome.c_str(), 1); }

    void WriteConf(const std::string& text) const { std::ofstream(conf, std::ios::binary) << text; }

    Settings Reload() const
    {
        Settings settings;
        LoadSettings(settings);
        return settings;
    }

    TempDir temp;
    fs::path directory = temp.Path() / ".Tessaro";
    fs::path conf = directory / "conf.json";
    std::string savedHome;
};

} // namespace

TEST_F(SettingsSharingTest, TwoWindowsKeepEachOthersChangesWhicheverClosesLast)
{
    for (bool firstClosesFirst : {true, false}) {
        WriteConf(R"({"bookmarks":["/Gone","/Old"],"recent_open_files":["old.arxml"],"version":1})");
        Window first({"+/One", "-/Gone", "recent:one.arxml"});
        Window second({"+/Two", "recent:two.arxml"});
        ASSERT_TRUE(first.Started() && second.Started());
        Window& early = firstClosesFirst ? first : second;
        Window& late = firstClosesFirst ? second : first;
        ASSERT_EQ(early.Close(), 0);
        ASSERT_EQ(late.Close(), 0);

        Settings after = Reload();
        EXPECT_EQ(after.bookmarks, (std::set<std::string>{"/Old", "/One", "/Two"})) << firstClosesFirst;
        std::list<std::string> lastFirst{"one.arxml", "two.arxml", "old.arxml"};
        if (firstClosesFirst)
            lastFirst = {"two.arxml", "one.arxml", "old.arxml"};
        EXPECT_EQ(after.recentOpenFiles, lastFirst) << firstClosesFirst;
    }
}

TEST_F(SettingsSharingTest, SavesAtTheSameMomentLoseNothing)
{
    testing::internal::CaptureStderr(); // the first loads find no file yet
    pid_t a = StartCopy({"save-many", "/A", "40"});
    pid_t b = StartCopy({"save-many", "/B", "40"});
    ASSERT_EQ(Reap(a), 0);
    ASSERT_EQ(Reap(b), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(Reload().bookmarks.size(), 80u);
}

TEST_F(SettingsSharingTest, AFileThatCannotBeUnderstoodIsNeverReplaced)
{
    for (std::string text : {
             R"({"bookmarks":["/A",],"recent_open_files":[],"version":1})", // a trailing comma
             R"(["/A"])",
             R"({"bookmarks":["/A"],"recent_open_files":[],"version":2})", // a newer program's
             R"({"bookmarks":["/A"],"recent_open_files":[]})",
         }) {
        WriteConf(text);
        testing::internal::CaptureStderr();
        Settings settings = Reload();
        settings.bookmarks.insert("/New");
        SaveSettings(settings);
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(ReadFile(conf), text);
        EXPECT_NE(said.find("Settings not saved: \"" + conf.string() + "\""), std::string::npos) << said;
    }
}

// Root reads any file, so the unreadable case runs as another user in a child process.
TEST_F(SettingsSharingTest, AnUnreadableFileIsNeverReplaced)
{
    const std::string text = R"({"bookmarks":["/A"],"recent_open_files":[],"version":1})";
    WriteConf(text);
    fs::permissions(conf, fs::perms::none);
    fs::permissions(directory, fs::perms::all);
    auto saveAsAnotherUser = [] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            std::exit(3);
        Settings settings;
        LoadSettings(settings);
        settings.bookmarks.insert("/New");
        SaveSettings(settings);
        std::exit(0);
    };
    EXPECT_EXIT(saveAsAnotherUser(), testing::ExitedWithCode(0), "Settings not saved");
    fs::permissions(conf, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadFile(conf), text);
}

TEST_F(SettingsSharingTest, TemporariesOfEndedSavesAreRemoved)
{
    pid_t ended = StartCopy({"save-many", "/A", "0"}); // ends at once
    ASSERT_EQ(Reap(ended), 0);
    const fs::path stale = directory / ("conf.json." + std::to_string(ended) + ".tmp");
    const fs::path running = directory / ("conf.json." + std::to_string(::getppid()) + ".tmp");
    const fs::path foreign = directory / "conf.json.backup.tmp";
    for (const fs::path& path : {stale, running, foreign})
        std::ofstream(path) << "half";
    SaveSettings(Settings{{"/A"}, {}});
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(foreign));
    EXPECT_EQ(Reload().bookmarks, std::set<std::string>{"/A"});
}
