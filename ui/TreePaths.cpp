#include "ui/TreePaths.h"

#include <algorithm>
#include <vector>

bool IsPagedElement(std::string_view tagName, int childCount, int pageSize)
{
    return tagName.find("ELEMENTS") != std::string_view::npos || tagName == "AR-PACKAGES" ||
           childCount > 2 * pageSize;
}

int PageCount(int childCount, int pageSize)
{
    return std::max(1, (childCount + pageSize - 1) / pageSize);
}

int ClampPage(int page, int pageCount)
{
    return std::clamp(page, 1, std::max(1, pageCount));
}

std::string SiblingLabel(int siblingIndex, int siblingCount)
{
    std::string number = std::to_string(siblingIndex + 1);
    size_t digits = std::to_string(siblingCount).size();
    if (number.size() < digits)
        number.insert(0, digits - number.size(), '0');
    return "[" + number + "]";
}

namespace {
bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
} // namespace

std::string TruncateFront(const std::string& text, float room,
                          const std::function<float(std::string_view)>& width)
{
    if (width(text) <= room)
        return text;
    // Suffixes starting at character boundaries, longest first; their widths only shrink, so the
    // first one that fits is found by bisection.
    std::vector<size_t> starts;
    for (size_t i = 1; i < text.size(); ++i) {
        if (!IsContinuationByte(text[i]))
            starts.push_back(i);
    }
    const float ellipsis = width("...");
    std::string_view all(text);
    auto fits = [&](size_t start) { return width(all.substr(start)) + ellipsis <= room; };
    auto first =
        std::partition_point(starts.begin(), starts.end(), [&](size_t start) { return !fits(start); });
    if (first == starts.end())
        return {};
    return "..." + text.substr(*first);
}

TextSlice RowText(std::string_view text, size_t maxBytes)
{
    size_t end = std::min(text.find_first_of("\r\n"), text.size());
    if (end > maxBytes) {
        end = maxBytes;
        while (end > 0 && IsContinuationByte(text[end]))
            --end;
    }
    return {text.substr(0, end), end < text.size()};
}

std::string RefCountTooltip(size_t count)
{
    if (count == 1)
        return "1 reference to this element";
    return std::to_string(count) + " refs to this element";
}

std::string BrokenReferenceNotice(const std::string& why)
{
    return "Broken reference: " + why + ".";
}

std::string FilesLoadedText(size_t loaded, size_t files)
{
    return std::to_string(loaded) + " of " + std::to_string(files) + (files == 1 ? " file" : " files") +
           " loaded";
}
