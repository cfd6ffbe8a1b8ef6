#include "settings/Settings.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <map>
#include <sstream>

#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kEmptyFile = R"({"bookmarks":[],"recent_open_files":[],"version":1})";
using List = std::list<std::string>;

std::string ReadFile(const fs::path& path)
{
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// A profile of its own for every test: HOME points into a fresh directory, USERPROFILE is unset.
class SettingsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : {"HOME", "USERPROFILE"}) {
            if (const char* value = std::getenv(name))
                saved[name] = value;
        }
        fs::create_directories(home);
        unsetenv("USERPROFILE");
        setenv("HOME", home.c_str(), 1);
    }
    void TearDown() override
    {
        for (const char* name : {"HOME", "USERPROFILE"})
            saved.count(name) ? setenv(name, saved[name].c_str(), 1) : unsetenv(name);
    }

    void WriteConf(const std::string& text) const
    {
        fs::create_directories(directory);
        std::ofstream(conf, std::ios::binary) << text;
    }

    // Loads over collections that already hold something; returns what went to stderr.
    std::string LoadOver(Settings& settings) const
    {
        settings = {{"/Kept"}, {"kept.arxml"}};
        testing::internal::CaptureStderr();
        LoadSettings(settings);
        return testing::internal::GetCapturedStderr();
    }

    std::set<std::string> Entries() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory))
            names.insert(entry.path().filename().string());
        return names;
    }

    TempDir temp;
    fs::path home = temp.Path() / "my \"odd\" home";
    fs::path directory = home / ".Tessaro";
    fs::path conf = directory / "conf.json";
    std::string quotedConf = "\"" + temp.Path().string() + "/my \\\"odd\\\" home/.Tessaro/conf.json\"";
    std::map<std::string, std::string> saved;
};

TEST_F(SettingsTest, FirstRunSaysNothingOfTheMissingFileAndSavesAnEmptyOne)
{
    Settings settings;
    testing::internal::CaptureStderr();
    LoadSettings(settings);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    SaveSettings(settings);
    EXPECT_EQ(ReadFile(conf), kEmptyFile);
    EXPECT_EQ(Entries(), (std::set<std::string>{"conf.json", "conf.json.lock"})); // no temporary left behind
}

TEST_F(SettingsTest, RecentFilesKeepTheirSavedOrderFirstOccurrenceWinsAndAreCutOnlyByTheNextAdd)
{
    WriteConf(R"({"bookmarks":["/B","/A"],"recent_open_files":["c","a","c","b"],"version":1.0})");
    Settings settings;
    EXPECT_EQ(LoadOver(settings), "");
    EXPECT_EQ(settings.recentOpenFiles, (List{"c", "a", "b"}));
    EXPECT_EQ(settings.bookmarks, (std::set<std::string>{"/A", "/B"}));

    WriteConf(R"({"bookmarks":[],"recent_open_files":["f0","f1","f2","f3","f4","f5","f6","f7","f8","f9",)"
              R"("g0","g1","g2","g3","g4"],"version":1})");
    LoadOver(settings);
    EXPECT_EQ(settings.recentOpenFiles.size(), 15u);
    AddRecentFile(settings.recentOpenFiles, "f5"); // moves to the front
    EXPECT_EQ(settings.recentOpenFiles, (List{"f5", "f0", "f1", "f2", "f3", "f4", "f6", "f7", "f8", "f9"}));
    AddRecentFile(settings.recentOpenFiles, "F0"); // paths compare byte by byte: a new entry
    EXPECT_EQ(settings.recentOpenFiles, (List{"F0", "f5", "f0", "f1", "f2", "f3", "f4", "f6", "f7", "f8"}));
}

TEST_F(SettingsTest, OtherVersionsAreIgnoredSilentlyAndBrokenOrForeignFilesReported)
{
    for (std::string version : {"2", "\"1\"", "null"}) {
        WriteConf(R"({"bookmarks":["/A"],"recent_open_files":["a"],"version":)" + version + "}");
        Settings settings;
        EXPECT_EQ(LoadOver(settings), "") << version;
        EXPECT_EQ(settings.bookmarks, std::set<std::string>{"/Kept"}) << version;
    }
    // Without a version the file is not known to be ours either.
    WriteConf(R"({"bookmarks":["/A"],"recent_open_files":["a"]})");
    Settings unversioned;
    LoadOver(unversioned);
    EXPECT_EQ(unversioned.bookmarks, std::set<std::string>{"/Kept"});
    EXPECT_EQ(unversioned.recentOpenFiles, List{"kept.arxml"});

    for (std::string text : {
             "", R"({"bookmarks":[],"recent_open_files":[],"version":1)", "[1,2,3]",
             R"({"recent_open_files":[],"version":1})",
             R"({"bookmarks":["/A",3],"recent_open_files":[],"version":1})",
             "{\"bookmarks\":[\"caf\xE9\"],\"recent_open_files\":[],\"version\":1}", // not UTF-8
         }) {
        WriteConf(text);
        Settings settings;
        EXPECT_EQ(LoadOver(settings), "Error reading file: " + quotedConf + "\n") << text;
        EXPECT_EQ(settings.bookmarks, std::set<std::string>{"/Kept"}) << text;
        EXPECT_EQ(settings.recentOpenFiles, List{"kept.arxml"}) << text;
    }
}

TEST_F(SettingsTest, SavedBytesAreCompactInKeyOrderWithEscapesAndReplacedBadUtf8)
{
    WriteConf("{\n  \"version\": 1,\n  \"recent_open_files\": [\"b\"],\n  \"bookmarks\": [\"/Z\"]\n}\n");
    Settings settings;
    LoadSettings(settings);
    settings.bookmarks.insert("/A");
    AddRecentFile(settings.recentOpenFiles, R"(C:\data\x "1".arxml)");
    SaveSettings(settings);
    EXPECT_EQ(ReadFile(conf),
              R"({"bookmarks":["/A","/Z"],"recent_open_files":["C:\\data\\x \"1\".arxml","b"],"version":1})");

    // Names that are not UTF-8 are listed with U+FFFD, as older versions read them, and come back
    // byte for byte, even where two of them differ only in their bad bytes.
    fs::remove(conf);
    const Settings odd{{"/Caf\xE9", "/Caf\xE8", "/Z"}, {"/caf\xE9.arxml", "/b.arxml", "/caf\xE8.arxml"}};
    testing::internal::CaptureStderr();
    SaveSettings(odd);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(ReadFile(conf),
              "{\"bookmarks\":[\"/Caf\uFFFD\",\"/Caf\uFFFD\",\"/Z\"],\"exact_names\":{\"/Caf\uFFFD\":"
              "[\"2f436166e8\",\"2f436166e9\"],\"/caf\uFFFD.arxml\":[\"2f636166e92e6172786d6c\","
              "\"2f636166e82e6172786d6c\"]},\"recent_open_files\":[\"/caf\uFFFD.arxml\",\"/b.arxml\","
              "\"/caf\uFFFD.arxml\"],\"version\":1}");
    Settings reread;
    LoadSettings(reread);
    EXPECT_EQ(reread.bookmarks, odd.bookmarks);
    EXPECT_EQ(reread.recentOpenFiles, odd.recentOpenFiles);

    // A kept name that no longer fits its entry, as another version may leave, is not used.
    WriteConf(R"({"bookmarks":[],"exact_names":{"/x\uFFFD":["2f78e9","2f79e9","zz"]},)"
              R"("recent_open_files":["/x\uFFFD","/x\uFFFD"],"version":1})");
    LoadSettings(reread);
    EXPECT_EQ(reread.recentOpenFiles, (List{"/x\xE9", "/x\uFFFD"}));
}

TEST_F(SettingsTest, DirectoryIsUserProfileElseHome)
{
    fs::path profile = temp.Path() / "profile";
    setenv("USERPROFILE", profile.c_str(), 1);
    EXPECT_EQ(GetConfigDirectory(), (profile / ".Tessaro").string());
    EXPECT_TRUE(fs::is_directory(profile / ".Tessaro"));
    setenv("USERPROFILE", "", 1); // empty counts as unset
    EXPECT_EQ(GetConfigDirectory(), directory.string());
    // Without either, the password database names the home, never the current folder.
    unsetenv("USERPROFILE");
    unsetenv("HOME");
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(GetSettingsHome(), user->pw_dir);
}

// The one test of this process that sees the read-only notice: it is given once per run.
TEST_F(SettingsTest, ASaveKeepsTheFilesModeAndOwnerAndLeavesAReadOnlyFileAlone)
{
    WriteConf(kEmptyFile);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(conf.c_str(), 65534, 65534), 0);
    }
    for (fs::perms mode : {fs::perms(0600), fs::perms(0640), fs::perms(0664)}) {
        fs::permissions(conf, mode);
        SaveSettings(Settings{{"/A"}, {}});
        EXPECT_EQ(fs::status(conf).permissions(), mode);
        struct stat status;
        ASSERT_EQ(stat(conf.c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, root ? 65534u : geteuid());
    }
    EXPECT_NE(ReadFile(conf).find("/A"), std::string::npos);

    fs::permissions(conf, fs::perms(0444));
    const std::string before = ReadFile(conf);
    for (const char* told : {"is read-only; it is left as it is\n", ""}) {
        testing::internal::CaptureStderr();
        SaveSettings(Settings{{"/B"}, {}});
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.empty(), *told == '\0') << said;
        EXPECT_TRUE(said.ends_with(told)) << said;
        EXPECT_EQ(ReadFile(conf), before);
    }
}

// Runs in a child process, which may give up root rights so that the read-only directory binds.
TEST_F(SettingsTest, AFailedSaveKeepsTheFileOnDisk)
{
    WriteConf(kEmptyFile);
    fs::permissions(directory, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    if (geteuid() == 0) { // the file stays writable for the user the child becomes; only the folder is not
        ASSERT_EQ(chown(conf.c_str(), 65534, 65534), 0);
    }
    auto saveWithoutRootRights = [] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            std::exit(3);
        SaveSettings(Settings{{"/A"}, {}});
        std::exit(0);
    };
    EXPECT_EXIT(saveWithoutRootRights(), testing::ExitedWithCode(0),
                "Error opening file for writing: \".*conf\\.json\"");
    fs::permissions(directory, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(ReadFile(conf), kEmptyFile);
    EXPECT_EQ(Entries(), std::set<std::string>{"conf.json"});
}

// A save cut short half-way, here by a file-size limit far below the new file's size (a full disk
// behaves alike), leaves the old file whole. Runs in a child process, which takes the limit.
TEST_F(SettingsTest, ASaveThatFailsHalfWayLeavesTheOldFileWhole)
{
    Settings old{{"/Old/Bookmark/" + std::string(200, 'o')}, {"old.arxml"}};
    SaveSettings(old);
    const std::string before = ReadFile(conf);
    ASSERT_GT(before.size(), 200u);

    auto saveOverTheLimit = [] {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails instead of killing
        const rlimit limit{100, 100};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            std::_Exit(3);
        Settings bigger{{}, {}};
        for (int i = 0; i < 100; ++i)
            bigger.bookmarks.insert("/New/Bookmark/" + std::to_string(i));
        SaveSettings(bigger);
        // No exit handlers: a leak checker's report at exit would itself run into the limit.
        std::_Exit(0);
    };
    EXPECT_EXIT(saveOverTheLimit(), testing::ExitedWithCode(0), "conf\\.json");
    EXPECT_EQ(ReadFile(conf), before);
    EXPECT_EQ(Entries(), (std::set<std::string>{"conf.json", "conf.json.lock"}))
        << "no temporary left behind";
    Settings reread;
    LoadSettings(reread);
    EXPECT_EQ(reread.bookmarks, old.bookmarks);
}

} // namespace

TEST_F(SettingsTest, WindowPlacesAreKeptAndEntriesOfOtherVersionsSurviveASave)
{
    WriteConf(R"({"bookmarks":["/A"],"future":{"a":[1,2]},"recent_open_files":["a"],"version":1,)"
              R"("window":{"height":700,"maximized":true,"width":600,"x":-20,"y":40},)"
              R"("windows":{"About":"odd","Element":{"height":30,"width":40,"x":5,"y":6}},"zoom":1.5})");
    Settings settings;
    EXPECT_EQ(LoadOver(settings), "");
    ASSERT_TRUE(settings.window.has_value());
    EXPECT_EQ(*settings.window, (WindowPlace{-20, 40, 600, 700, true}));
    EXPECT_EQ(settings.windowPlaces, (std::map<std::string, WindowPlace>{{"Element", {5, 6, 40, 30}}}))
        << "a place of another shape is left out, the others are read";

    settings.window = WindowPlace{100, 50, 800, 900, false};
    settings.windowPlaces["Refs to"] = WindowPlace{1, 2, 3, 4};
    SaveSettings(settings);
    EXPECT_EQ(ReadFile(conf), R"({"bookmarks":["/A"],"future":{"a":[1,2]},"recent_open_files":["a"],)"
                              R"("version":1,"window":{"height":900,"maximized":false,"width":800,)"
                              R"("x":100,"y":50},"windows":{"Element":{"height":30,"maximized":false,)"
                              R"("width":40,"x":5,"y":6},"Refs to":{"height":4,"maximized":false,)"
                              R"("width":3,"x":1,"y":2}},"zoom":1.5})");

    // A window entry of another shape does not stop the rest from loading, and is not lost.
    const std::string odd = R"({"bookmarks":[],"recent_open_files":["b"],"version":1,"window":"left"})";
    WriteConf(odd);
    Settings other;
    EXPECT_EQ(LoadOver(other), "");
    EXPECT_EQ(other.recentOpenFiles, List{"b"});
    EXPECT_FALSE(other.window.has_value());
    SaveSettings(other);
    EXPECT_EQ(ReadFile(conf), odd);
}

TEST_F(SettingsTest, EachBookmarkKeepsItsFileAndFilesWithoutThemStillLoad)
{
    // As older versions wrote it; an entry of another shape is skipped, not a reason to fail.
    WriteConf(R"({"bookmarks":["/A","/B"],"bookmark_files":{"/A":7,"/B":"b.arxml"},)"
              R"("recent_open_files":[],"version":1})");
    Settings settings;
    EXPECT_EQ(LoadOver(settings), "");
    EXPECT_EQ(settings.bookmarks, (std::set<std::string>{"/A", "/B"}));
    EXPECT_EQ(settings.bookmarkFiles, (std::map<std::string, std::string>{{"/B", "b.arxml"}}));

    // A file name that is not UTF-8 comes back byte for byte; a removed bookmark takes its file along.
    settings.bookmarkFiles["/A"] = "/data/caf\xE9 folder";
    settings.bookmarks.erase("/B");
    SaveSettings(settings);
    EXPECT_EQ(ReadFile(conf),
              "{\"bookmark_files\":{\"/A\":\"/data/caf\uFFFD folder\"},\"bookmarks\":[\"/A\"],"
              "\"exact_names\":{\"/data/caf\uFFFD folder\":[\"2f646174612f636166e920666f6c646572\"]},"
              "\"recent_open_files\":[],\"version\":1}");
    Settings reread;
    LoadSettings(reread);
    EXPECT_EQ(reread.bookmarkFiles, (std::map<std::string, std::string>{{"/A", "/data/caf\xE9 folder"}}));
}
