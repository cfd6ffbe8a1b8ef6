#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Maps a parsed node back to its line in the bytes the document was parsed from. pugixml keeps
// node names and values inside its copy of those bytes, so a node's offset there is also its
// offset in the source, as long as the parser did not have to convert the encoding first.
class LineMap
{
public:
    // `source`: exactly the bytes given to the parser.
    explicit LineMap(std::string source);

    // Reads the file again the way the loader does: a .zip path gives its first .arxml member.
    // A file that cannot be read gives a map that knows no lines.
    static LineMap ForDocumentFile(const std::string& filePath);

    // 1-based line of the node, or nothing when it cannot be told reliably.
    std::optional<size_t> LineOf(pugi::xml_node node) const;

private:
    bool Confirms(pugi::xml_node node, size_t offset) const;

    std::string source;
    bool offsetsMatchSource = false;
    std::vector<size_t> newlines; // offsets of every '\n', ascending
};
