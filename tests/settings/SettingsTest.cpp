#include "settings/Settings.h"
#include "settings/ScopedEnvironment.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>

#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kEmptyFile = R"({"bookmarks":[],"recent_open_files":[],"version":1})";
using List = std::list<std::string>;
using Names = std::vector<std::string>;

std::string ReadFile(const fs::path& path)
{
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

Names FileNamesIn(const fs::path& directory)
{
    Names names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// For child processes only: they change rights and limits for the rest of their life.
void SaveWithoutRootRights(const Settings& settings)
{
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
        std::exit(3);
    }
    SaveSettings(settings);
}

void SaveOnAFullDisk(const Settings& settings)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{256, 256}; // larger writes fail; the captured message still fits
    setrlimit(RLIMIT_FSIZE, &limit);
    SaveSettings(settings);
}

// A profile of its own for every test: HOME points into a fresh directory, USERPROFILE is unset.
class SettingsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(home);
        environment.Set("USERPROFILE", std::nullopt);
        environment.Set("HOME", home.string());
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

    void ExpectUnchanged(const Settings& settings, const std::string& why) const
    {
        EXPECT_EQ(settings.bookmarks, std::set<std::string>{"/Kept"}) << why;
        EXPECT_EQ(settings.recentOpenFiles, List{"kept.arxml"}) << why;
    }

    TempDir temp;
    fs::path home = temp.Path() / "my \"odd\" home";
    fs::path directory = home / ".Tessaro";
    fs::path conf = directory / "conf.json";
    std::string quotedConf = "\"" + temp.Path().string() + "/my \\\"odd\\\" home/.Tessaro/conf.json\"";
    ScopedEnvironment environment;
};

TEST_F(SettingsTest, FirstRunReportsTheMissingFileAndSavesAnEmptyOne)
{
    Settings settings;
    testing::internal::CaptureStderr();
    LoadSettings(settings);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error opening file: " + quotedConf + "\n");
    EXPECT_TRUE(settings.bookmarks.empty() && settings.recentOpenFiles.empty());

    SaveSettings(settings);
    EXPECT_EQ(ReadFile(conf), kEmptyFile);
    EXPECT_EQ(FileNamesIn(directory), Names{"conf.json"}); // no temporary left behind
}

TEST_F(SettingsTest, RecentFilesAreDedupedAndSortedOnReadAndCutOnlyByTheNextAdd)
{
    WriteConf(R"({"bookmarks":["/B","/A"],"recent_open_files":["c","a","c","b"],"version":1})");
    Settings settings;
    EXPECT_EQ(LoadOver(settings), "");
    EXPECT_EQ(settings.recentOpenFiles, (List{"a", "b", "c"}));
    EXPECT_EQ(settings.bookmarks, (std::set<std::string>{"/A", "/B"}));

    WriteConf(R"({"bookmarks":[],"recent_open_files":["f0","f1","f2","f3","f4","f5","f6","f7","f8","f9",)"
              R"("g0","g1","g2","g3","g4"],"version":1})");
    LoadOver(settings);
    EXPECT_EQ(settings.recentOpenFiles.size(), 15u);
    AddRecentFile(settings.recentOpenFiles, "new");
    EXPECT_EQ(settings.recentOpenFiles, (List{"new", "f0", "f1", "f2", "f3", "f4", "f5", "f6", "f7", "f8"}));
}

TEST_F(SettingsTest, OnlyVersionOneIsReadAndOtherVersionsAreIgnoredSilently)
{
    Settings settings;
    for (std::string version : {"2", "\"1\"", "true", "null", "0.5"}) {
        WriteConf(R"({"bookmarks":["/A"],"recent_open_files":["a"],"version":)" + version + "}");
        EXPECT_EQ(LoadOver(settings), "") << version;
        ExpectUnchanged(settings, version);
    }
    WriteConf(R"({"bookmarks":["/A"],"recent_open_files":["a"],"version":1.0})");
    EXPECT_EQ(LoadOver(settings), "");
    EXPECT_EQ(settings.recentOpenFiles, List{"a"});
}

TEST_F(SettingsTest, BrokenOrForeignFilesAreReportedAndChangeNothing)
{
    for (std::string text : {
             "", R"({"bookmarks":[],"recent_open_files":[],"version":1)", "[1,2,3]",
             R"({"recent_open_files":[],"version":1})",
             R"({"bookmarks":{},"recent_open_files":[],"version":1})",
             R"({"bookmarks":[],"recent_open_files":"a.arxml","version":1})",
             R"({"bookmarks":["/A",3],"recent_open_files":[],"version":1})",
             "{\"bookmarks\":[\"caf\xE9\"],\"recent_open_files\":[],\"version\":1}", // not UTF-8
         }) {
        WriteConf(text);
        Settings settings;
        EXPECT_EQ(LoadOver(settings), "Error reading file: " + quotedConf + "\n") << text;
        ExpectUnchanged(settings, text);
    }
}

TEST_F(SettingsTest, SavedBytesAreCompactInKeyOrderWithEscapes)
{
    WriteConf("{\n  \"version\": 1,\n  \"recent_open_files\": [\"b\"],\n  \"bookmarks\": [\"/Z\"]\n}\n");
    Settings settings;
    LoadSettings(settings);
    settings.bookmarks.insert("/A");
    AddRecentFile(settings.recentOpenFiles, R"(C:\data\x "1".arxml)");
    SaveSettings(settings);
    EXPECT_EQ(ReadFile(conf),
              R"({"bookmarks":["/A","/Z"],"recent_open_files":["C:\\data\\x \"1\".arxml","b"],"version":1})");
}

TEST_F(SettingsTest, PathsThatAreNotUtf8AreSavedWithAReplacementCharacter)
{
    Settings settings{{"/A", "/Caf\xE9"}, {"/caf\xE9.arxml", "/ok.arxml"}};
    testing::internal::CaptureStderr();
    SaveSettings(settings);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    Settings reread;
    LoadSettings(reread);
    EXPECT_EQ(reread.bookmarks, (std::set<std::string>{"/A", "/Caf\uFFFD"}));
    EXPECT_EQ(reread.recentOpenFiles, (List{"/caf\uFFFD.arxml", "/ok.arxml"}));
}

TEST(AddRecentFile, KeepsTheTenMostRecentUniqueByExactBytes)
{
    List recent;
    for (int i = 0; i < 11; ++i) {
        AddRecentFile(recent, std::to_string(i));
    }
    EXPECT_EQ(recent, (List{"10", "9", "8", "7", "6", "5", "4", "3", "2", "1"}));
    AddRecentFile(recent, "8"); // third moves to the front
    EXPECT_EQ(recent, (List{"8", "10", "9", "7", "6", "5", "4", "3", "2", "1"}));

    List cased = {"a.arxml"};
    AddRecentFile(cased, "A.arxml");
    EXPECT_EQ(cased, (List{"A.arxml", "a.arxml"}));
}

TEST_F(SettingsTest, DirectoryIsUserProfileElseHomeElseTheWorkingDirectory)
{
    fs::path profile = temp.Path() / "profile";
    environment.Set("USERPROFILE", profile.string());
    EXPECT_EQ(GetConfigDirectory(), (profile / ".Tessaro").string());
    EXPECT_TRUE(fs::is_directory(profile / ".Tessaro"));
    environment.Set("USERPROFILE", ""); // empty counts as unset
    EXPECT_EQ(GetConfigDirectory(), directory.string());

    environment.Set("USERPROFILE", std::nullopt);
    environment.Set("HOME", std::nullopt);
    fs::path previous = fs::current_path();
    fs::current_path(temp.Path());
    SaveSettings(Settings{});
    fs::current_path(previous);
    EXPECT_EQ(ReadFile(temp.Path() / "conf.json"), kEmptyFile);
}

TEST_F(SettingsTest, AnUncreatableDirectoryIsReportedAndNothingIsWrittenElsewhere)
{
    std::ofstream(directory) << "in the way";
    Settings settings{{"/A"}, {}};
    testing::internal::CaptureStderr();
    LoadSettings(settings);
    SaveSettings(settings);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("Cannot create settings directory"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Error opening file: " + quotedConf), std::string::npos) << errors;
    EXPECT_NE(errors.find("Error opening file for writing: " + quotedConf), std::string::npos) << errors;
    EXPECT_EQ(settings.bookmarks, std::set<std::string>{"/A"});
    EXPECT_EQ(FileNamesIn(home), Names{".Tessaro"});
}

// The failing saves run in a child process, which may give up root rights or limit file sizes.
TEST_F(SettingsTest, AFailedSaveKeepsTheFileOnDisk)
{
    WriteConf(kEmptyFile);
    Settings settings;
    for (int i = 0; i < 50; ++i) {
        settings.bookmarks.insert("/Some/Package/Element" + std::to_string(i));
    }
    EXPECT_EXIT((SaveOnAFullDisk(settings), std::exit(0)), testing::ExitedWithCode(0),
                "Error writing file: \".*conf\\.json\"");
    fs::permissions(directory, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EXIT((SaveWithoutRootRights(settings), std::exit(0)), testing::ExitedWithCode(0),
                "Error opening file for writing: \".*conf\\.json\"");
    fs::permissions(directory, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(ReadFile(conf), kEmptyFile);
    EXPECT_EQ(FileNamesIn(directory), Names{"conf.json"});
}

TEST_F(SettingsTest, ASymbolicLinkIsKeptAndItsTargetUpdated)
{
    fs::path target = temp.Path() / "tessaro.json";
    std::ofstream(target) << kEmptyFile;
    fs::create_directories(directory);
    fs::create_symlink(target, conf);
    SaveSettings(Settings{{"/A"}, {}});
    EXPECT_TRUE(fs::is_symlink(conf));
    EXPECT_EQ(ReadFile(target), R"({"bookmarks":["/A"],"recent_open_files":[],"version":1})");
}

} // namespace
