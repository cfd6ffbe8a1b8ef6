#include "ui/ChangeLabels.h"

#include <algorithm>
#include <cctype>

std::string ChangeMarkerText(const ChangeMark& mark, bool open)
{
    static constexpr struct
    {
        ChangeKind kind;
        const char* text;
    } kMarkers[] = {{ChangeKind::Removed, "- removed"},
                    {ChangeKind::Moved, "> moved"},
                    {ChangeKind::Changed, "~ changed"},
                    {ChangeKind::Added, "+ added"}};
    std::string text;
    for (const auto& marker : kMarkers) {
        if (!mark.Has(marker.kind))
            continue;
        if (!text.empty())
            text += ", ";
        text += marker.text;
    }
    if (!open && mark.below > 0) {
        if (!text.empty())
            text += ' ';
        text += "(" + std::to_string(mark.below) + (mark.below == 1 ? " change)" : " changes)");
    }
    return text;
}

namespace {
bool ContainsIgnoringCase(std::string_view haystack, std::string_view needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           }) != haystack.end();
}
} // namespace

bool ChangeShown(const ModelChange& change, unsigned kinds, std::string_view text)
{
    if (!(kinds & (1u << unsigned(change.kind))))
        return false;
    if (text.empty())
        return true;
    for (std::string_view field :
         {std::string_view(change.path), std::string_view(change.fromPath), std::string_view(change.at),
          std::string_view(change.oldValue ? change.oldValue : ""),
          std::string_view(change.newValue ? change.newValue : "")}) {
        if (ContainsIgnoringCase(field, text))
            return true;
    }
    return false;
}
