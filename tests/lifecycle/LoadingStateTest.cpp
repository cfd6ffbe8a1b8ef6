#include "lifecycle/LoadingState.h"
#include "document/ArchiveBudget.h"
#include "support/OpenDescriptors.h"
#include "support/RawZip.h"
#include "support/SlowTests.h"
#include "support/TestDocuments.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace {
const std::string kSystem = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>System</SHORT-NAME></AR-PACKAGE>"
                            "</AR-PACKAGES></AUTOSAR>";
const std::string kOther = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>Other</SHORT-NAME></AR-PACKAGE>"
                           "</AR-PACKAGES></AUTOSAR>";

std::shared_ptr<State> Settle(const std::string& path)
{
    std::shared_ptr<State> state = std::make_shared<LoadingState>(path);
    for (int i = 0; i < 60000; ++i) {
        auto next = state->Update();
        if (next != state)
            return next;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return state;
}

// The sentence names the file; the reason follows it.
void ExpectLoadFailure(const std::string& path, const std::string& reason)
{
    auto state = Settle(path);
    ASSERT_EQ(state->GetKind(), StateKind::Error) << path;
    EXPECT_EQ(state->GetErrorMessage(), "Could not load the file " + path + ": " + reason);
    EXPECT_EQ(state->GetFilePath(), path);
}

std::string FirstPackage(const State& state)
{
    return state.document->child("AUTOSAR")
        .child("AR-PACKAGES")
        .child("AR-PACKAGE")
        .child_value("SHORT-NAME");
}
} // namespace

TEST(LoadingState, PlainFileGoesToIndexingWithTheSamePath)
{
    TempDir dir;
    std::string path = dir.Write("system.arxml", kSystem);
    auto state = Settle(path);
    ASSERT_EQ(state->GetKind(), StateKind::Indexing);
    EXPECT_EQ(state->GetFilePath(), path);
    ASSERT_NE(state->document, nullptr);
    EXPECT_EQ(FirstPackage(*state), "System");

    std::string noDot = dir.Write("nodot", kOther); // no '.': read as XML
    auto plain = Settle(noDot);
    ASSERT_EQ(plain->GetKind(), StateKind::Indexing);
    EXPECT_EQ(FirstPackage(*plain), "Other");
}

TEST(LoadingState, BadPlainFilesEndInTheErrorState)
{
    TempDir dir;
    ExpectLoadFailure(dir.File("missing.arxml"), "No such file or directory");
    ExpectLoadFailure(dir.Path().string(), "no .arxml file or .zip archive in it"); // a folder of nothing
    ExpectLoadFailure(dir.Write("empty.arxml", ""), "No document element found at line 1, column 1");
    ExpectLoadFailure(dir.Write("truncated.arxml", "<AUTOSAR>\n  <AR-PACKAGES>\n    <AR-PACK"),
                      "Error parsing start element tag at line 3, column 12");
    std::string garbage(4096, '\0');
    std::mt19937 random(7);
    for (char& c : garbage)
        c = char(random());
    auto noise = Settle(dir.Write("garbage.arxml", garbage));
    ASSERT_EQ(noise->GetKind(), StateKind::Error);
    EXPECT_EQ(
        noise->GetErrorMessage().rfind("Could not load the file " + dir.File("garbage.arxml") + ": ", 0), 0u);
    ExpectLoadFailure(dir.Write("notes.zip", "this is a text file, not an archive"), "Not a zip archive");
    ExpectLoadFailure(dir.Write("100%d %s.arxml", "<<"), "Could not determine tag type at line 1, column 2");
}

// A NUL ends the text for pugixml, and what follows it must not decide: a file that pugixml's
// own loading reads is read, from a folder and from an archive alike.
TEST(LoadingState, TextAfterANulDoesNotRefuseTheFile)
{
    TempDir dir;
    const std::string cut = kSystem + std::string(1, '\0') + "<";
    auto plain = Settle(dir.Write("cut.arxml", cut));
    ASSERT_EQ(plain->GetKind(), StateKind::Indexing) << plain->GetErrorMessage();
    EXPECT_EQ(FirstPackage(*plain), "System");

    std::string archive = dir.File("cut.zip");
    WriteZip(archive, {{"cut.arxml", cut}});
    auto zipped = Settle(archive);
    ASSERT_EQ(zipped->GetKind(), StateKind::Indexing) << zipped->GetErrorMessage();
    EXPECT_EQ(FirstPackage(*zipped), "System");
}

TEST(LoadingState, ArchiveLoadsFirstArxmlMemberInDirectoryOrder)
{
    TempDir dir;
    std::string path = dir.File("bundle.zip");
    WriteZip(path, {{"readme.txt", "text"}, {"x/system.arxml", kSystem}, {"y/other.arxml", kOther}});
    auto state = Settle(path);
    ASSERT_EQ(state->GetKind(), StateKind::Indexing);
    EXPECT_EQ(FirstPackage(*state), "System");
    EXPECT_EQ(OpenDescriptorsTo(path), 0);

    // Case-sensitive substring: .ARXML does not qualify, .arxml.bak does.
    std::string substring = dir.File("names.zip");
    WriteZip(substring, {{"upper.ARXML", kSystem}, {"copy.arxml.bak", kOther}});
    auto fromBak = Settle(substring);
    ASSERT_EQ(fromBak->GetKind(), StateKind::Indexing);
    EXPECT_EQ(FirstPackage(*fromBak), "Other");
}

TEST(LoadingState, ArchiveSkipsAMemberThatFailsToExtract)
{
    TempDir dir;
    std::string path = dir.File("damaged.zip");
    WriteZip(path, {{"a/first.arxml", kSystem}, {"b/second.arxml", kOther}});

    // Corrupt the first member's compressed bytes; its CRC then no longer matches.
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), {});
    auto le16 = [&](size_t at) { return size_t(uint8_t(bytes[at])) | size_t(uint8_t(bytes[at + 1])) << 8; };
    size_t data = 30 + le16(26) + le16(28) + 2; // local header, name, extra field
    for (size_t i = data; i < data + 12; ++i)
        bytes[i] = char(bytes[i] ^ 0x5A);
    file.seekp(0);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    file.close();

    auto state = Settle(path);
    ASSERT_EQ(state->GetKind(), StateKind::Indexing);
    EXPECT_EQ(FirstPackage(*state), "Other");
    EXPECT_EQ(OpenDescriptorsTo(path), 0);
}

TEST(LoadingState, ArchivesWithoutAUsableMemberFail)
{
    TempDir dir;
    std::string none = dir.File("none.zip");
    WriteZip(none, {{"readme.txt", "x"}, {"data.xml", kSystem}});
    ExpectLoadFailure(none, "no member with .arxml in its name");
    EXPECT_EQ(OpenDescriptorsTo(none), 0);

    std::string empty = dir.File("empty.zip");
    WriteZip(empty, {});
    ExpectLoadFailure(empty, "no member with .arxml in its name");

    std::string broken = dir.File("broken.zip");
    WriteZip(broken, {{"bad.arxml", "<AUTOSAR>\n<unclosed>"}});
    ExpectLoadFailure(broken, "Start-end tags mismatch at line 2, column 10");
    EXPECT_EQ(OpenDescriptorsTo(broken), 0);

    std::string capitals = dir.File("sound.ZIP"); // only "zip" selects the archive reader
    WriteZip(capitals, {{"system.arxml", kSystem}});
    auto capital = Settle(capitals);
    ASSERT_EQ(capital->GetKind(), StateKind::Error);

    std::string damaged = dir.File("damaged.zip");
    WriteRawZip(damaged, {{"lying.arxml", kSystem, uint32_t(kSystem.size() - 1)}});
    ExpectLoadFailure(damaged, "archive damaged");

    // A real deflated bomb is refused by the process's budget before anything is unpacked.
    std::string bomb = dir.File("bomb.zip");
    WriteZip(bomb,
             {{"bomb.arxml", "<AUTOSAR>" + std::string(ArchiveBudget::kRatioFloor + 1, ' ') + "</AUTOSAR>"}});
    ExpectLoadFailure(bomb, "archive member would unpack to more than 200 times its packed size");
}

TEST(LoadingState, NewOpenRequestReplacesARunningLoad)
{
    TempDir dir;
    std::string first = dir.Write("first.arxml", kSystem);
    std::string second = dir.Write("second.arxml", kOther);
    std::shared_ptr<State> state = std::make_shared<LoadingState>(first);
    state->OpenFile(second);
    state = state->Update();
    ASSERT_EQ(state->GetKind(), StateKind::Loading);
    EXPECT_EQ(state->GetFilePath(), second);
    state = UpdateUntil(state, StateKind::Indexing);
    EXPECT_EQ(FirstPackage(*state), "Other");
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true; // the sanitizers' own memory would blur the figure
#else
constexpr bool kSanitized = false;
#endif

namespace {
long PeakResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}
} // namespace

// A member of mostly blanks compresses far; were it held twice (the extracted bytes and the
// parser's copy), a small archive could ask for twice the memory it declares.
TEST(LoadingState, AnArchiveMemberIsHeldOnlyOnceWhileItIsParsed)
{
    TESSARO_SLOW_TEST();
    if (kSanitized)
        GTEST_SKIP() << "memory figures under a sanitizer";
    TempDir dir;
    const long memberKiB = 128 * 1024;
    const std::string path = dir.File("blanks.zip");
    // A letter every 64 blanks keeps it below the unpacking ratio that refuses bombs.
    std::string text(size_t(memberKiB) * 1024, ' ');
    std::mt19937 random(3);
    for (size_t at = 0; at < text.size(); at += 64)
        text[at] = char('a' + random() % 26);
    WriteZip(path, {{"blanks.arxml", "<AUTOSAR>" + text + "</AUTOSAR>"}});
    auto measure = [&] {
        std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from here
        const long before = PeakResidentKiB();
        auto state = Settle(path);
        const long grown = PeakResidentKiB() - before;
        std::fprintf(stderr, "kind %d, peak grew by %ld KiB for a member of %ld KiB\n", int(state->GetKind()),
                     grown, memberKiB);
        std::exit(state->GetKind() == StateKind::Indexing && before > 0 && grown < memberKiB * 3 / 2 ? 0 : 1);
    };
    EXPECT_EXIT(measure(), testing::ExitedWithCode(0), "peak grew");
}
