#include "settings/Settings.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>

#include <poll.h>
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

// Another copy of the program: a process that loads the settings at its start, changes them, and
// saves them when told to close.
class Window
{
public:
    explicit Window(const std::function<void(Settings&)>& change)
    {
        if (::pipe(loaded) != 0 || ::pipe(closing) != 0)
            throw std::runtime_error("pipe");
        pid = ::fork();
        if (pid == 0) {
            Settings settings;
            LoadSettings(settings);
            change(settings);
            bool told = ::write(loaded[1], "l", 1) == 1 && ReadByte(closing[0]);
            if (told)
                SaveSettings(settings);
            ::_exit(told ? 0 : 1);
        }
        started = ReadByte(loaded[0]);
    }
    ~Window()
    {
        for (int fd : {loaded[0], loaded[1], closing[0], closing[1]})
            ::close(fd);
    }
    bool Started() const { return pid > 0 && started; }
    int Close() { return ::write(closing[1], "c", 1) == 1 ? Reap(pid) : -1; }

private:
    int loaded[2] = {-1, -1};
    int closing[2] = {-1, -1};
    pid_t pid = -1;
    bool started = false;
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
        Window first([](Settings& s) {
            s.bookmarks.insert("/One");
            s.bookmarks.erase("/Gone");
            AddRecentFile(s.recentOpenFiles, "one.arxml");
        });
        Window second([](Settings& s) {
            s.bookmarks.insert("/Two");
            AddRecentFile(s.recentOpenFiles, "two.arxml");
        });
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
    auto saver = [](const std::string& prefix) {
        pid_t pid = ::fork();
        if (pid == 0) {
            for (int i = 0; i < 40; ++i) {
                Settings settings;
                LoadSettings(settings);
                settings.bookmarks.insert(prefix + std::to_string(i));
                SaveSettings(settings);
            }
            ::_exit(0);
        }
        return pid;
    };
    testing::internal::CaptureStderr(); // the first loads find no file yet
    pid_t a = saver("/A");
    pid_t b = saver("/B");
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
    pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
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
