#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Where the lines of a document's text begin, taken from the bytes just before they are parsed:
// pugixml rewrites its buffer in place (line ends folded, entities decoded, terminators written
// over the byte after a name), so newlines counted there afterwards can be off. Two bytes per line
// and a count per 64 KiB block.
class LineStarts
{
public:
    LineStarts(const char* text, size_t size);

    // 1-based line that holds byte `offset` of the text.
    size_t LineAt(size_t offset) const;
    size_t TextSize() const { return textSize; }

    // The table kept for `node`'s document, when it was parsed with one (see DocumentParser.h).
    static std::shared_ptr<const LineStarts> Of(pugi::xml_node node);
    // Kept for `document` from Keep until Forget.
    static void Keep(const pugi::xml_document& document, std::shared_ptr<const LineStarts> lines);
    static void Forget(const pugi::xml_document& document);

private:
    static constexpr unsigned kBlockBits = 16;

    size_t textSize;
    std::vector<size_t> blockFirst; // index in `inBlock` of each block's first newline, and the end
    std::vector<uint16_t> inBlock;  // newlines' offsets within their block
};
