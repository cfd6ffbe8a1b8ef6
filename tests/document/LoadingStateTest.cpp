#include "document/LoadingState.h"
#include "support/OpenDescriptors.h"
#include "support/TestDocuments.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sys/stat.h>

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

void ExpectLoadFailure(const std::string& path)
{
    auto state = Settle(path);
    ASSERT_EQ(state->GetKind(), StateKind::Error) << path;
    EXPECT_EQ(state->GetErrorMessage(), "Could not load the file " + path);
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
    ExpectLoadFailure(dir.File("missing.arxml"));
    ExpectLoadFailure(dir.Path().string()); // a directory
    ExpectLoadFailure(dir.Write("empty.arxml", ""));
    ExpectLoadFailure(dir.Write("truncated.arxml", kSystem.substr(0, kSystem.size() / 2)));
    std::string garbage(4096, '\0');
    std::mt19937 random(7);
    for (char& c : garbage)
        c = char(random());
    ExpectLoadFailure(dir.Write("garbage.arxml", garbage));
    ExpectLoadFailure(dir.Write("notes.zip", "this is a text file, not an archive"));
    ExpectLoadFailure(dir.Write("100%d %s.arxml", "<<"));
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
    ExpectLoadFailure(none);
    EXPECT_EQ(OpenDescriptorsTo(none), 0);

    std::string empty = dir.File("empty.zip");
    WriteZip(empty, {});
    ExpectLoadFailure(empty);

    std::string broken = dir.File("broken.zip");
    WriteZip(broken, {{"bad.arxml", "<AUTOSAR><unclosed>"}});
    ExpectLoadFailure(broken);
    EXPECT_EQ(OpenDescriptorsTo(broken), 0);

    std::string capitals = dir.File("sound.ZIP"); // only "zip" selects the archive reader
    WriteZip(capitals, {{"system.arxml", kSystem}});
    ExpectLoadFailure(capitals);
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

TEST(LoadingState, PathsThatAreNotRegularFilesEndInTheErrorState)
{
    TempDir dir;
    // Opening a FIFO would wait for a writer forever, and the next open with it.
    const std::string fifo = dir.File("pipe.arxml");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zipFifo = dir.File("pipe.zip");
    ASSERT_EQ(mkfifo(zipFifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, zipFifo, std::string("/dev/zero")}) {
        std::shared_ptr<State> state = UpdateUntil(std::make_shared<LoadingState>(path), StateKind::Error);
        ASSERT_EQ(state->GetKind(), StateKind::Error) << path;
        EXPECT_EQ(state->GetErrorMessage(), "Could not load the file " + path);
    }
}
