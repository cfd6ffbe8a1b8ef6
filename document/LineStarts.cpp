#include "document/LineStarts.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {
// By the document's root, which every node of it reaches.
std::mutex keptMutex;
std::unordered_map<const void*, std::shared_ptr<const LineStarts>> kept;
} // namespace

LineStarts::LineStarts(const char* text, size_t size) : textSize(size)
{
    const size_t blocks = (size >> kBlockBits) + 1;
    blockFirst.reserve(blocks + 1);
    for (size_t block = 0; block < blocks; ++block) {
        blockFirst.push_back(inBlock.size());
        const size_t start = block << kBlockBits;
        const size_t end = std::min(size, start + (size_t(1) << kBlockBits));
        for (const char* at = text + start; at < text + end;) {
            const void* found = std::memchr(at, '\n', size_t(text + end - at));
            if (!found)
                break;
            const char* newline = static_cast<const char*>(found);
            inBlock.push_back(uint16_t(size_t(newline - text) - start));
            at = newline + 1;
        }
    }
    blockFirst.push_back(inBlock.size());
    inBlock.shrink_to_fit();
}

size_t LineStarts::LineAt(size_t offset) const
{
    const size_t block = std::min(offset >> kBlockBits, blockFirst.size() - 2);
    const auto begin = inBlock.begin() + ptrdiff_t(blockFirst[block]);
    const auto end = inBlock.begin() + ptrdiff_t(blockFirst[block + 1]);
    const size_t within = offset - (block << kBlockBits);
    const auto after = within > 0xFFFF ? end : std::lower_bound(begin, end, uint16_t(within));
    return size_t(after - inBlock.begin()) + 1;
}

std::shared_ptr<const LineStarts> LineStarts::Of(pugi::xml_node node)
{
    std::lock_guard<std::mutex> lock(keptMutex);
    auto found = kept.find(node.root().internal_object());
    return found == kept.end() ? nullptr : found->second;
}

void LineStarts::Keep(const pugi::xml_document& document, std::shared_ptr<const LineStarts> lines)
{
    std::lock_guard<std::mutex> lock(keptMutex);
    kept[document.internal_object()] = std::move(lines);
}

void LineStarts::Forget(const pugi::xml_document& document)
{
    std::lock_guard<std::mutex> lock(keptMutex);
    kept.erase(document.internal_object());
}
