#include "cli/LineMap.h"

#include "document/ArchiveReader.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {
std::string Lowercase(std::string text)
{
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The value of encoding="..." in the XML declaration, lowercased; empty without one.
std::string DeclaredEncoding(const std::string& source)
{
    size_t start = source.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (source.compare(start, 5, "<?xml") != 0)
        return "";
    size_t end = source.find("?>", start);
    size_t key = source.find("encoding", start);
    if (end == std::string::npos || key == std::string::npos || key > end)
        return "";
    size_t quote = source.find_first_of("\"'", key);
    if (quote == std::string::npos || quote > end)
        return "";
    size_t close = source.find(source[quote], quote + 1);
    if (close == std::string::npos || close > end)
        return "";
    return Lowercase(source.substr(quote + 1, close - quote - 1));
}

// pugixml converts UTF-16, UTF-32 and declared Latin-1 input to UTF-8 before parsing, which moves
// every offset; everything else it parses in place.
bool ParsedInPlace(const std::string& source)
{
    if (source.size() >= 2) {
        auto b0 = static_cast<unsigned char>(source[0]);
        auto b1 = static_cast<unsigned char>(source[1]);
        if ((b0 == 0xFE && b1 == 0xFF) || (b0 == 0xFF && b1 == 0xFE) || b0 == 0 || b1 == 0)
            return false;
    }
    std::string encoding = DeclaredEncoding(source);
    return encoding != "latin1" && encoding != "iso-8859-1";
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(Platform::PathFromUtf8(path), std::ios::binary);
    if (!in)
        return "";
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

// Same test as the loader: the text after the last '.' (the whole path without one) is exactly "zip".
bool IsArchivePath(const std::string& path)
{
    size_t dot = path.rfind('.');
    return (dot == std::string::npos ? path : path.substr(dot + 1)) == "zip";
}
} // namespace

LineMap::LineMap(std::string source) : source(std::move(source))
{
    offsetsMatchSource = !this->source.empty() && ParsedInPlace(this->source);
    if (!offsetsMatchSource)
        return;
    for (size_t at = this->source.find('\n'); at != std::string::npos; at = this->source.find('\n', at + 1))
        newlines.push_back(at);
}

LineMap LineMap::ForDocumentFile(const std::string& filePath)
{
    if (!IsArchivePath(filePath))
        return LineMap(ReadWholeFile(filePath));
    try {
        ArchiveMember member = ExtractFirstArxmlMember(filePath);
        if (!member.data)
            return LineMap("");
        return LineMap(std::string(member.data.get(), member.size));
    } catch (const std::exception&) {
        return LineMap("");
    }
}

// A check at the offset itself, so that a stale or converted offset is never reported as a line.
bool LineMap::Confirms(pugi::xml_node node, size_t offset) const
{
    switch (node.type()) {
        case pugi::node_element: {
            const char* name = node.name();
            return offset >= 1 && source[offset - 1] == '<' &&
                   source.compare(offset, std::strlen(name), name) == 0;
        }
        case pugi::node_cdata:
            return offset >= 9 && source.compare(offset - 9, 9, "<![CDATA[") == 0;
        default:
            return true;
    }
}

std::optional<size_t> LineMap::LineOf(pugi::xml_node node) const
{
    if (!offsetsMatchSource || !node)
        return std::nullopt;
    ptrdiff_t offset = node.offset_debug();
    if (offset < 0 || size_t(offset) >= source.size() || !Confirms(node, size_t(offset)))
        return std::nullopt;
    return size_t(std::lower_bound(newlines.begin(), newlines.end(), size_t(offset)) - newlines.begin()) + 1;
}
