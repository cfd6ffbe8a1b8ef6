#pragma once

#include "document/Result.h"
#include "model/Ref.h"
#include "model/TreeItem.h"
#include "query/HitContext.h"

#include <cstddef>
#include <string>
#include <vector>

// Texts and small decisions shared by the find dialogs, the refs-to windows and the full-text
// search window. Kept apart from the drawing so that they are tested without a GUI context.

// Find Ref takes what a reference carries; a missing leading "/" is added ("" asks for "/").
std::string NormaliseRefInput(const std::string& text);

// Name shown for a listed node: "" for a null node, "PC_DATA" for a text node, else the tag name.
const char* NodeDisplayName(pugi::xml_node node);

// List row: path, " : ", node name, then "##" and the row index so equal texts stay distinct rows.
std::string ResultLabel(const Ref& ref, size_t index);

// The listed ref at `index`, or null when the result holds no list or the index is outside it.
const Ref* RefAt(const Result<std::vector<Ref>>& result, int index);

// Status line of the full-text search window.
struct SearchStatusLine
{
    bool spinner = false;
    std::string text;
};
SearchStatusLine SearchStatus(bool textEmpty, ResultStatus status, size_t hitCount,
                              size_t hitLimit = kFullTextHitsPerPage);

// "1 referrer", "11,354 referrers": how many elements a refs-to window lists.
std::string ReferrerCount(size_t count);

// `count` in decimal with a comma between groups of three digits: 11354 gives "11,354".
std::string GroupThousands(size_t count);

// The progress bar shows only while a non-empty query is still being searched.
bool SearchProgressVisible(bool textEmpty, ResultStatus status);
