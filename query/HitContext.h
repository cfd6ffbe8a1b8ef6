#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Full-text search hits come a hundred at a time: the first hundred, then a hundred more on request.
inline constexpr size_t kFullTextHitsPerPage = 100;

// The text around one search hit, as a result row shows it: up to kSide bytes on each side of
// the match, cut at character boundaries, line breaks and tabs shown as blanks.
struct HitContext
{
    static constexpr size_t kSide = 40;

    std::string before;
    std::string match;
    std::string after;
};

// Where `query` first occurs in `text` (ASCII case ignored unless `matchCase`); nullopt if nowhere.
std::optional<size_t> FindQuery(std::string_view text, std::string_view query, bool matchCase);

// The context of the `length` bytes at `at` in `text`.
HitContext ContextAround(std::string_view text, size_t at, size_t length);
