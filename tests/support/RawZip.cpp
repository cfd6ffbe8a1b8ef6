#include "support/RawZip.h"

#include <fstream>

namespace {
uint32_t Crc32(const std::string& data)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Put16(std::string& out, uint32_t value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void Put64(std::string& out, uint64_t value)
{
    Put32(out, uint32_t(value));
    Put32(out, uint32_t(value >> 32));
}

constexpr uint32_t kInExtra = 0xFFFFFFFFu; // the 32-bit field's value when zip64 holds it

// The zip64 extra field: sizes, and in the central directory the local header's offset too.
std::string Zip64Extra(const RawZipMember& member, const uint64_t* offset)
{
    std::string fields;
    Put64(fields, member.declaredSize);
    Put64(fields, member.data.size());
    if (offset)
        Put64(fields, *offset);
    std::string extra;
    Put16(extra, 1);
    Put16(extra, uint32_t(fields.size()));
    return extra + fields;
}

// The fields that the local header and the central directory entry share, from "version needed" on.
void PutCommon(std::string& out, const RawZipMember& member, size_t extraSize)
{
    Put16(out, member.zip64 ? 45 : 10); // version needed
    Put16(out, 0);                      // flags
    Put16(out, 0);                      // method: stored
    Put16(out, 0);                      // time
    Put16(out, 0x21);                   // date: 1980-01-01
    Put32(out, Crc32(member.data));
    Put32(out, member.zip64 ? kInExtra : uint32_t(member.data.size())); // the bytes that are there
    Put32(out, member.zip64 ? kInExtra : uint32_t(member.declaredSize));
    Put16(out, uint32_t(member.name.size()));
    Put16(out, uint32_t(extraSize));
}
} // namespace

void WriteRawZip(const std::string& path, const std::vector<RawZipMember>& members)
{
    std::string out;
    std::string directory;
    bool zip64 = false;
    for (const RawZipMember& member : members) {
        zip64 = zip64 || member.zip64;
        const uint64_t offset = out.size();
        const std::string localExtra = member.zip64 ? Zip64Extra(member, nullptr) : "";
        const std::string centralExtra = member.zip64 ? Zip64Extra(member, &offset) : "";
        Put32(out, 0x04034b50);
        PutCommon(out, member, localExtra.size());
        out += member.name + localExtra;
        out += member.data;

        Put32(directory, 0x02014b50);
        Put16(directory, 45); // made by
        PutCommon(directory, member, centralExtra.size());
        Put16(directory, 0); // comment length
        Put16(directory, 0); // disk
        Put16(directory, 0); // internal attributes
        Put32(directory, 0); // external attributes
        Put32(directory, member.zip64 ? kInExtra : uint32_t(offset));
        directory += member.name + centralExtra;
    }
    const uint64_t directoryOffset = out.size();
    out += directory;
    if (zip64) {
        const uint64_t recordOffset = out.size();
        Put32(out, 0x06064b50);
        Put64(out, 44); // size of the rest of the record
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, members.size());
        Put64(out, members.size());
        Put64(out, directory.size());
        Put64(out, directoryOffset);
        Put32(out, 0x07064b50); // locator
        Put32(out, 0);
        Put64(out, recordOffset);
        Put32(out, 1);
    }
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, uint32_t(members.size()));
    Put16(out, uint32_t(members.size()));
    Put32(out, uint32_t(directory.size()));
    Put32(out, zip64 ? kInExtra : uint32_t(directoryOffset));
    Put16(out, 0);
    std::ofstream(path, std::ios::binary) << out;
}
