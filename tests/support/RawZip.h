#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A stored (uncompressed) member whose header may declare another size than the bytes it holds.
struct RawZipMember
{
    std::string name;
    std::string data;
    uint64_t declaredSize; // written as the uncompressed size in both headers
    bool zip64 = false;    // sizes and offset in zip64 extra fields, and zip64 end records
};

// Writes a ZIP archive byte by byte, so that its headers can say what a real writer never would.
void WriteRawZip(const std::string& path, const std::vector<RawZipMember>& members);
