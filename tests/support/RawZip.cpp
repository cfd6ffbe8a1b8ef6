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

// The fields that the local header and the central directory entry share, from "version needed" on.
void PutCommon(std::string& out, const RawZipMember& member)
{
    Put16(out, 10);   // version needed
    Put16(out, 0);    // flags
    Put16(out, 0);    // method: stored
    Put16(out, 0);    // time
    Put16(out, 0x21); // date: 1980-01-01
    Put32(out, Crc32(member.data));
    Put32(out, uint32_t(member.data.size())); // compressed size: the bytes that are there
    Put32(out, member.declaredSize);
    Put16(out, uint32_t(member.name.size()));
    Put16(out, 0); // extra field length
}
} // namespace

void WriteRawZip(const std::string& path, const std::vector<RawZipMember>& members)
{
    std::string out;
    std::string directory;
    for (const RawZipMember& member : members) {
        const uint32_t offset = uint32_t(out.size());
        Put32(out, 0x04034b50);
        PutCommon(out, member);
        out += member.name;
        out += member.data;

        Put32(directory, 0x02014b50);
        Put16(directory, 20); // made by
        PutCommon(directory, member);
        Put16(directory, 0); // comment length
        Put16(directory, 0); // disk
        Put16(directory, 0); // internal attributes
        Put32(directory, 0); // external attributes
        Put32(directory, offset);
        directory += member.name;
    }
    const uint32_t directoryOffset = uint32_t(out.size());
    out += directory;
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, uint32_t(members.size()));
    Put16(out, uint32_t(members.size()));
    Put32(out, uint32_t(directory.size()));
    Put32(out, directoryOffset);
    Put16(out, 0);
    std::ofstream(path, std::ios::binary) << out;
}
