#pragma once

#include "query/HitContext.h"

#include <cstddef>

class Gui;
struct ImGuiInputTextCallbackData;

// Navigate > Find Text: every element whose text holds the query, with a preview of the one
// selected. The query, its case switch and the number of hits asked for stay while it is closed.
class FullTextSearchWindow
{
public:
    bool shown = false;
    bool focus = false; // bring the window forward with its field focused when next drawn

    // Draws the window while shown; closing it clears `shown`.
    void Draw(Gui& gui);

private:
    static int ResetSelectionOnEdit(ImGuiInputTextCallbackData* data);

    char searchText[4096] = "";
    bool matchCase = false;
    size_t hitLimit = kFullTextHitsPerPage; // raised by "Show more"; back to one page for a new query
    int selected = -1;                      // while the field is being drawn, for its edits to clear
};
