#include "query/HitContext.h"

#include <algorithm>

namespace {
unsigned char Upper(unsigned char c)
{
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// One line of plain characters: a row never grows a second line.
std::string Flattened(std::string_view text)
{
    std::string out(text);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return out;
}
} // namespace

std::optional<size_t> FindQuery(std::string_view text, std::string_view query, bool matchCase)
{
    if (query.empty() || query.size() > text.size())
        return std::nullopt;
    if (matchCase) {
        const size_t at = text.find(query);
        return at == std::string_view::npos ? std::nullopt : std::optional<size_t>(at);
    }
    auto same = [](char a, char b) { return Upper(a) == Upper(b); };
    auto found = std::search(text.begin(), text.end(), query.begin(), query.end(), same);
    if (found == text.end())
        return std::nullopt;
    return size_t(found - text.begin());
}

HitContext ContextAround(std::string_view text, size_t at, size_t length)
{
    at = std::min(at, text.size());
    length = std::min(length, text.size() - at);
    size_t begin = at > HitContext::kSide ? at - HitContext::kSide : 0;
    while (begin < at && IsContinuationByte(text[begin]))
        ++begin;
    size_t end = std::min(text.size(), at + length + HitContext::kSide);
    while (end < text.size() && end > at + length && IsContinuationByte(text[end]))
        --end;
    return HitContext{Flattened(text.substr(begin, at - begin)), Flattened(text.substr(at, length)),
                      Flattened(text.substr(at + length, end - at - length))};
}
