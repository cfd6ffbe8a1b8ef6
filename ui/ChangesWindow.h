#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Gui;
struct ComparedModels;

// The Changes window: every change of a comparison in tree order, filtered by kind and text; a
// row reveals its change in the main tree. Its filter stays as it was left while it is closed.
class ChangesWindow
{
public:
    bool shown = false;

    // Draws the window while shown and a comparison is there; closing it clears `shown`.
    void Draw(Gui& gui);

private:
    unsigned KindsShown() const;
    // The rows shown, worked out again only when the filter or the comparison changes.
    const std::vector<uint32_t>& RowsShown(const ComparedModels& compared);

    char filterText[1024] = "";
    bool kindShown[4] = {true, true, true, true}; // by ChangeKind
    uint64_t rowsCompared = 0;                    // serial
    std::string rowsText;
    unsigned rowsKinds = 0;
    std::vector<uint32_t> rows;
};
