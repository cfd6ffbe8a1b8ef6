#include "document/ArchiveReader.h"
#include "support/RawZip.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {
const std::string kGood = "<AUTOSAR/>";

std::string Taken(const ArchiveMember& member)
{
    return member.data ? std::string(member.data.get(), member.size) : "none: " + member.failure;
}
} // namespace

// The bound is passed in small here; in use it is half of the machine's memory.
TEST(ArchiveReader, MembersTooLargeOrLyingAboutTheirSizeAreSkippedForTheNext)
{
    TempDir dir;
    const std::string tooLarge(1001, ' ');
    const RawZipMember big{"big.arxml", tooLarge, 1001};
    const RawZipMember longer{"longer.arxml", std::string(100, 'x'), 10}; // inflates past what it declares
    const RawZipMember shorter{"shorter.arxml", std::string(10, 'x'), 100};
    const RawZipMember huge{"huge.arxml", "<AUTOSAR/>", 0xFFFFFFF0u};
    const RawZipMember good{"good.arxml", kGood, uint32_t(kGood.size())};

    const std::string all = dir.File("all.zip");
    WriteRawZip(all, {big, longer, shorter, huge, good});
    EXPECT_EQ(Taken(ExtractFirstArxmlMember(all, 1000)), kGood);
    EXPECT_EQ(Taken(ExtractFirstArxmlMember(all, 1001)), tooLarge); // the bound itself still fits

    const std::string oversized = dir.File("oversized.zip");
    WriteRawZip(oversized, {big, huge});
    EXPECT_EQ(Taken(ExtractFirstArxmlMember(oversized, 1000)), "none: archive member too large");

    const std::string lying = dir.File("lying.zip");
    WriteRawZip(lying, {longer, shorter});
    EXPECT_EQ(Taken(ExtractFirstArxmlMember(lying, 1000)), "none: archive damaged");

    const std::string unnamed = dir.File("unnamed.zip");
    WriteRawZip(unnamed, {{"readme.txt", kGood, uint32_t(kGood.size())}});
    EXPECT_EQ(Taken(ExtractFirstArxmlMember(unnamed, 1000)), "none: no member with .arxml in its name");
}
