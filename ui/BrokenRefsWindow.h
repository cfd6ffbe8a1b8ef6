#pragma once

#include "model/BrokenRef.h"
#include "ui/BrokenRefRows.h"

#include <memory>
#include <vector>

class Gui;

// The Broken References window: every reference text that names no element, with a preview of the
// first referrer. Its filter, order and split stay as they were left while it is closed.
class BrokenRefsWindow
{
public:
    bool shown = false;

    // Draws the window while shown; closing it clears `shown`.
    void Draw(Gui& gui);

private:
    // The rows shown, worked out again only when the view or the list changes, so a long list costs
    // nothing per frame.
    const std::vector<int>& RowsShown(const std::shared_ptr<const std::vector<BrokenRef>>& list,
                                      const BrokenRefView& view);

    char filterText[1024] = "";
    bool hideDefinitions = false;
    float listShare = 0.4f; // of the height shared with the preview, changed by dragging the bar between
    BrokenRefView rowsView;
    // The list is known by its owner, not its address: the list of the next document may be
    // allocated where this one was, and rows of the old list would index past it.
    std::weak_ptr<const std::vector<BrokenRef>> rowsList;
    std::vector<int> rows;
};
