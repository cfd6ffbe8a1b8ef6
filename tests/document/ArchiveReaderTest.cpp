#include "document/ArchiveReader.h"
#include "support/RawZip.h"
#include "support/TestDocuments.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {
const std::string kGood = "<AUTOSAR/>";

std::string Taken(const ArchiveMember& member)
{
    return member.data ? std::string(member.data.get(), member.size) : "none: " + member.failure;
}

std::string Taken(const std::string& archive, uint64_t budget)
{
    ArchiveBudget small(budget);
    return Taken(ExtractFirstArxmlMember(archive, small));
}
} // namespace

// The budget is passed in small here; in use it is shared by the whole process.
TEST(ArchiveReader, MembersTooLargeOrLyingAboutTheirSizeAreSkippedForTheNext)
{
    TempDir dir;
    const std::string tooLarge(1001, ' ');
    const RawZipMember big{"big.arxml", tooLarge, 1001};
    const RawZipMember longer{"longer.arxml", std::string(100, 'x'), 10}; // inflates past what it declares
    const RawZipMember shorter{"shorter.arxml", std::string(10, 'x'), 100};
    const RawZipMember huge{"huge.arxml", "<AUTOSAR/>", 0xFFFFFFF0u};
    const RawZipMember good{"good.arxml", kGood, uint32_t(kGood.size())};
    const std::string refused =
        "none: archive member too large: 1001 bytes unpacked, over the limit of 1000 bytes";

    const std::string all = dir.File("all.zip");
    WriteRawZip(all, {big, longer, shorter, huge, good});
    EXPECT_EQ(Taken(all, 1000), kGood);
    EXPECT_EQ(Taken(all, 1001), tooLarge); // the bound itself still fits

    const std::string oversized = dir.File("oversized.zip");
    WriteRawZip(oversized, {big});
    EXPECT_EQ(Taken(oversized, 1000), refused);

    const std::string lying = dir.File("lying.zip");
    WriteRawZip(lying, {longer, shorter});
    EXPECT_EQ(Taken(lying, 1000), "none: archive damaged");

    const std::string unnamed = dir.File("unnamed.zip");
    WriteRawZip(unnamed, {{"readme.txt", kGood, uint32_t(kGood.size())}});
    EXPECT_EQ(Taken(unnamed, 1000), "none: no member with .arxml in its name");
}

// Sizes come from zip64 extra fields in full: a member that claims 4 GiB more than it holds is
// refused, not read as the 10 bytes its low 32 bits would say.
TEST(ArchiveReader, Zip64MembersReadAsAnyOther)
{
    TempDir dir;
    const std::string plain = dir.File("zip64.zip");
    WriteRawZip(plain, {{"good.arxml", kGood, kGood.size(), true}});
    EXPECT_EQ(Taken(plain, 1000), kGood);

    const std::string claims = dir.File("claims.zip");
    WriteRawZip(claims, {{"claims.arxml", kGood, (uint64_t(1) << 32) + kGood.size(), true}});
    EXPECT_EQ(Taken(claims, uint64_t(1) << 40),
              "none: archive member would unpack to more than 200 times its packed size");
}

// Below the floor any ratio is taken: a small member of repeated text inflates far.
TEST(ArchiveReader, SmallMembersLoadWhateverTheirRatio)
{
    TempDir dir;
    const std::string dense = dir.File("dense.zip");
    const std::string belowFloor =
        "<AUTOSAR>" + std::string(ArchiveBudget::kRatioFloor / 2, ' ') + "</AUTOSAR>";
    WriteZip(dense, {{"dense.arxml", belowFloor}});
    EXPECT_EQ(Taken(dense, uint64_t(1) << 30), belowFloor);
}

// Members being unpacked or parsed hold their bytes: another worker's member waits for room
// instead of adding to them, and goes on once the first is let go.
TEST(ArchiveReader, WorkersShareOneBudget)
{
    TempDir dir;
    const std::string first = dir.File("first.zip");
    const std::string second = dir.File("second.zip");
    WriteZip(first, {{"a.arxml", "<AUTOSAR>" + std::string(600, ' ') + "</AUTOSAR>"}});
    WriteZip(second, {{"b.arxml", "<AUTOSAR>" + std::string(600, ' ') + "</AUTOSAR>"}});
    ArchiveBudget budget(1000);

    auto held = std::make_unique<ArchiveMember>(ExtractFirstArxmlMember(first, budget));
    ASSERT_TRUE(held->data);
    auto waiting =
        std::async(std::launch::async, [&] { return Taken(ExtractFirstArxmlMember(second, budget)); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (budget.Waiting() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_EQ(budget.Waiting(), 1u);
    held.reset();
    EXPECT_EQ(waiting.get().size(), 619u);
}
