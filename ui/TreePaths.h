#pragma once

#include <functional>
#include <string>
#include <string_view>

// Icons of the merged icon font, as UTF-8.
namespace Icon {
inline constexpr const char* Tag = "\xef\x80\xab";         // U+F02B
inline constexpr const char* Count = "\xee\x92\xbd";       // U+E4BD
inline constexpr const char* Bookmark = "\xef\x80\xae";    // U+F02E
inline constexpr const char* Open = "\xef\x82\x8e";        // U+F08E
inline constexpr const char* Copy = "\xef\x83\x85";        // U+F0C5
inline constexpr const char* Link = "\xef\x83\x81";        // U+F0C1
inline constexpr const char* Code = "\xef\x84\xa1";        // U+F121
inline constexpr const char* Highlighter = "\xef\x96\x91"; // U+F591
inline constexpr const char* Check = "\xef\x80\x8c";       // U+F00C
inline constexpr const char* Cross = "\xef\x80\x8d";       // U+F00D
inline constexpr const char* Back = "\xef\x81\xa0";        // U+F060 arrow-left
inline constexpr const char* Forward = "\xef\x81\xa1";     // U+F061 arrow-right
inline constexpr const char* GoTo = "\xef\x81\xa4";        // U+F064 share (go to target)
} // namespace Icon

// Long child lists are split into pages: package containers always, anything else above two pages.
bool IsPagedElement(std::string_view tagName, int childCount, int pageSize);

// Small shallow elements open by themselves the first time they are drawn.
inline bool OpensOnce(int childCount, int level)
{
    return childCount <= 10 && level < 2;
}

// Number of pages for `childCount` children; at least 1.
int PageCount(int childCount, int pageSize);

// 1-based page that shows the child at 0-based `position`.
inline int PageOfPosition(int position, int pageSize)
{
    return position / pageSize + 1;
}

// `page` limited to 1..pageCount.
int ClampPage(int page, int pageCount);

// "[007]": the 1-based sibling number, zero-padded to the digits of the sibling count.
std::string SiblingLabel(int siblingIndex, int siblingCount);

// `text` shortened from the front to fit `room` (measured by `width`), as "..." + its end.
// Whole UTF-8 characters are removed, never parts of one.
std::string TruncateFront(const std::string& text, float room,
                          const std::function<float(std::string_view)>& width);

// The part of a document text shown in a tree row: up to the first line break and at most
// `maxBytes` bytes, cut at a character boundary. Rows stay one line high and a huge text costs
// no more to draw than a short one; the copy buttons still copy the whole text.
struct TextSlice
{
    std::string_view shown;
    bool cut = false;
};
TextSlice RowText(std::string_view text, size_t maxBytes = 400);

// Tooltip of the referrer count: "1 reference to this element", "5 refs to this element".
std::string RefCountTooltip(size_t count);

// Why a reference row names nothing, and what the status line says when it is followed.
inline constexpr const char* kTargetMissing = "target missing";
inline constexpr const char* kBaseUnknown = "base unknown";
std::string BrokenReferenceNotice(const std::string& why);

// "3 of 4 files loaded" for the status line of a workspace.
std::string FilesLoadedText(size_t loaded, size_t files);
