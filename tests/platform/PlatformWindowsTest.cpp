#include "platform/Platform.h"
#include "settings/Settings.h"
#include "support/SampleDocuments.h"
#include "support/TestDocuments.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include <windows.h>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// "Ünïcode ☃" in UTF-8: outside every ANSI code page at once, so a narrow file API cannot open it.
const std::string kNonAscii = "\xC3\x9Cn\xC3\xAF"
                              "code \xE2\x98\x83";

std::string ReadFile(const fs::path& path)
{
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Sets USERPROFILE for the test's life and puts the old value back.
class Profile
{
public:
    explicit Profile(const fs::path& directory)
    {
        wchar_t buffer[32768];
        DWORD length = GetEnvironmentVariableW(L"USERPROFILE", buffer, 32768);
        if (length > 0 && length < 32768)
            saved = std::wstring(buffer, length);
        SetEnvironmentVariableW(L"USERPROFILE", directory.c_str());
    }
    ~Profile() { SetEnvironmentVariableW(L"USERPROFILE", saved ? saved->c_str() : nullptr); }

private:
    std::optional<std::wstring> saved;
};

} // namespace

TEST(PlatformWindows, DocumentsAndSettingsLiveUnderNonAsciiNames)
{
    TempDir temp;
    const std::string folder = Platform::Utf8FromPath(temp.Path()) + "\\" + kNonAscii;
    fs::create_directories(Platform::PathFromUtf8(folder));
    const std::string document = folder + "\\" + kNonAscii + ".arxml";
    std::ofstream(Platform::PathFromUtf8(document), std::ios::binary) << kSampleSystem;
    EXPECT_EQ(OpenAndSettle(document)->GetKind(), StateKind::Ready);
    const std::string archive = folder + "\\" + kNonAscii + ".zip";
    WriteZip(archive, {{"system.arxml", kSampleSystem}});
    EXPECT_EQ(OpenAndSettle(archive)->GetKind(), StateKind::Ready);

    Profile profile(Platform::PathFromUtf8(folder));
    EXPECT_EQ(Platform::ReadEnvironment("USERPROFILE"), folder);
    EXPECT_EQ(GetConfigDirectory(), folder + "\\.Tessaro");
    const fs::path conf = Platform::PathFromUtf8(folder + "\\.Tessaro\\conf.json");

    // The second save replaces the first file in one step under the lock file; no temporary is
    // left beside them.
    SaveSettings(Settings{{"/Old"}, {}});
    SaveSettings(Settings{{"/Old", "/Body"}, {document}});
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(conf.parent_path()))
        names.insert(Platform::Utf8FromPath(entry.path().filename()));
    EXPECT_EQ(names, (std::set<std::string>{"conf.json", "conf.json.lock"}));
    Settings reread;
    LoadSettings(reread);
    EXPECT_EQ(reread.bookmarks, (std::set<std::string>{"/Body", "/Old"}));
    EXPECT_EQ(reread.recentOpenFiles, std::list<std::string>{document});
}

TEST(PlatformWindows, ProcessNameAndCountAreThoseOfThisProgram)
{
    EXPECT_EQ(Platform::GetExecutableName(), "tessaro-core-tests.exe");
    EXPECT_TRUE(Platform::GetExecutablePath().ends_with("\\tessaro-core-tests.exe"));
    EXPECT_GE(Platform::CountProcessesNamed("TESSARO-core-TESTS.EXE"), 1); // the caller counts itself
    EXPECT_EQ(Platform::CountProcessesNamed("essaro-core-tests.exe"), 0);
}

TEST(PlatformWindows, SpawnPassesArgumentsVerbatim)
{
    TempDir directory;
    fs::path record = directory.Path() / "arguments";
    ASSERT_TRUE(Platform::SpawnDetached({TESSARO_PLATFORM_HELPER, "record", Platform::Utf8FromPath(record),
                                         "C:\\my files\\a b.arxml", "\"q\" %PATH% *; x", "ends\\", ""}));
    for (int i = 0; i < 3000 && !fs::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(record)) << "the helper wrote nothing within 30 s";
    EXPECT_EQ(ReadFile(record), "C:\\my files\\a b.arxml\0\"q\" %PATH% *; x\0ends\\\0\0"s);
    EXPECT_FALSE(Platform::SpawnDetached({Platform::Utf8FromPath(directory.Path() / "missing.exe")}));
}
