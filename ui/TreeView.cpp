#include "ui/ChangeLabels.h"
#include "ui/Gui.h"
#include "ui/TreePaths.h"

#include "model/ElementChain.h"
#include "model/NodeText.h"
#include "model/ReferenceBases.h"
#include "model/Trail.h"
#include "model/Workspace.h"
#include "query/ChangeMarks.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>

namespace {

// Rows more than this many levels below the row a tree starts from are not drawn in it: a deeper
// part opens as a tree of its own. The GUI library nests rows by indenting and by its id stack, and every
// open row is walked every frame, so a document nested a million deep must not open as one tree.
constexpr size_t kLevelsShown = 100;

// An element path as shown and looked up: "/" for the nodes above every named one.
std::string ShownPath(const std::string& path)
{
    return path.empty() ? "/" : path;
}

bool NamedAtOrAbove(pugi::xml_node node)
{
    for (; node; node = node.parent())
        if (ShortNameChild(node))
            return true;
    return false;
}

// What a row needs to know about its element's children, found once per element: the child
// count, the SHORT-NAME child and the text node. Each of them is a walk over the children, and an
// element list may have many thousands, so walking every frame would make the frame cost grow with
// the document. (A pugi::xml_text would not do: it looks for its text node again on every use.)
// Valid for one document only.
struct NodeMemo
{
    int childCount = 0;
    bool paged = false;
    pugi::xml_node shortName;
    pugi::xml_node text; // the character-data node that holds the element's text, or null
    // The referrer count once the index gave it: hashing a path as long as a deep document is deep
    // on every frame would make drawing a deep row cost as much as its depth.
    std::optional<size_t> refCount;
};

// The first child of the page a row shows. Kept per row of each window: two windows showing the
// same long list on different pages would otherwise take turns walking to their page every frame.
struct PageMemo
{
    pugi::xml_node node;
    int page = 0;
    pugi::xml_node pageStart;
};

// Where one tree starts drawing: its own top, or an element some multiple of kLevelsShown below
// it. `roots` holds each of those starts from the top down with the length of its element path;
// `path` is the element path of the last one, and while the tree is drawn it grows by one name per
// level and shrinks back, so no level copies the path above it.
struct TreeRoots
{
    pugi::xml_node top;
    std::vector<std::pair<pugi::xml_node, size_t>> roots;
    std::string path;
    int lastFrame = 0; // drawn last in this frame
    // Where the rows' count buttons line up (window content coordinates): past the longest row
    // drawn in the last frame, whose rows it could only be measured on.
    float countColumn = 0;
    float countColumnNext = 0;
};

// A message for the status line of the tree that set it, shown for a few seconds.
struct Notice
{
    ImGuiID tree = 0;
    std::string text;
    float until = 0;
};

struct TreeMemo
{
    std::weak_ptr<const void> document; // the document, or the workspace of several
    std::unordered_map<pugi::xml_node_struct*, NodeMemo> nodes;
    std::unordered_map<ImGuiID, PageMemo> pages;  // by the row's page id, which includes its window's
    std::unordered_map<ImGuiID, TreeRoots> trees; // by the tree's id
    Notice notice;
    uint64_t comparison = 0; // serial of the comparison whose added rows were drawn
};

TreeMemo& Memo()
{
    static TreeMemo memo;
    return memo;
}

// Rows of added elements point into the other version of a comparison, which goes with it.
void UseMemoFor(const std::shared_ptr<const void>& document, uint64_t comparison)
{
    TreeMemo& memo = Memo();
    if (memo.document.expired() || memo.document.lock() != document || memo.comparison != comparison) {
        memo.comparison = comparison;
        memo.nodes.clear();
        memo.pages.clear();
        memo.trees.clear();
        memo.notice = {};
        memo.document = document;
    }
}

NodeMemo& MemoOf(pugi::xml_node node, int pageSize)
{
    auto [it, added] = Memo().nodes.try_emplace(node.internal_object());
    if (added) {
        NodeMemo& memo = it->second;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
            ++memo.childCount;
        memo.paged = IsPagedElement(node.name(), memo.childCount, pageSize);
        memo.shortName = ShortNameChild(node);
        memo.text = node.text().data();
    }
    return it->second;
}

// First child on `page` (1-based) of `node` as shown by the row whose page is kept under `pageId`.
pugi::xml_node PageStart(ImGuiID pageId, pugi::xml_node node, int page, int pageSize)
{
    PageMemo& memo = Memo().pages[pageId];
    if (memo.node != node || memo.page != page) {
        pugi::xml_node child = node.first_child();
        for (int skip = (page - 1) * pageSize; skip > 0 && child; --skip)
            child = child.next_sibling();
        memo.node = node;
        memo.page = page;
        memo.pageStart = child;
    }
    return memo.pageStart;
}

// Seconds of the GUI library's frame clock, which every frame advances by the time since the last
// one; a float keeps millisecond precision for days.
float NowSeconds()
{
    return float(ImGui::GetTime());
}

void TextInColour(const ImVec4& colour, std::string_view text)
{
    ImGui::PushStyleColor(ImGuiCol_Text, colour);
    ImGui::TextUnformatted(text.data(), text.data() + text.size());
    ImGui::PopStyleColor();
}

// A document text on the current line: verbatim, one line, bounded length. The bytes
// [markFrom, markFrom + markLength) of the text are drawn on `markBackground`.
void RowValue(const ImVec4& colour, std::string_view prefix, std::string_view text, const ImVec4& mutedColour,
              size_t markFrom = 0, size_t markLength = 0, const ImVec4& markBackground = {})
{
    TextSlice slice = RowText(text);
    std::string shown(prefix);
    shown.append(slice.shown);
    const ImVec2 at = ImGui::GetCursorScreenPos();
    TextInColour(colour, shown);
    markFrom = std::min(markFrom, slice.shown.size());
    markLength = std::min(markLength, slice.shown.size() - markFrom);
    if (markLength > 0) {
        const char* start = shown.c_str() + prefix.size() + markFrom;
        const float left = at.x + ImGui::CalcTextSize(shown.c_str(), start).x;
        const float width = ImGui::CalcTextSize(start, start + markLength).x;
        const float height = ImGui::GetTextLineHeight();
        ImDrawList* drawList = ImGui::GetWindowDrawList();
        // Under the text, which is drawn again over the background.
        drawList->AddRectFilled(ImVec2(left, at.y), ImVec2(left + width, at.y + height),
                                ImGui::GetColorU32(markBackground));
        drawList->AddText(ImVec2(left, at.y), ImGui::GetColorU32(colour), start, start + markLength);
    }
    if (slice.cut) {
        ImGui::SameLine(0, 0);
        TextInColour(mutedColour, " ...");
    }
}

// A tree node whose label is drawn exactly as given; its id is that of `idLabel`.
bool TreeNodeVerbatim(const char* idLabel, std::string_view label, ImGuiTreeNodeFlags flags)
{
    return ImGui::TreeNodeEx(idLabel, flags, "%.*s", int(label.size()), label.data());
}

const char* ItemName(const TreeItem& item)
{
    if (const auto* attribute = std::get_if<pugi::xml_attribute>(&item))
        return attribute->name();
    return std::get<pugi::xml_node>(item).name();
}

// 0-based position of `child` among the child nodes of `parent`, or -1.
int PositionAmongChildren(pugi::xml_node parent, const TreeItem& child)
{
    const auto* node = std::get_if<pugi::xml_node>(&child);
    if (!node || node->parent() != parent)
        return -1;
    int position = 0;
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling(), ++position) {
        if (c == *node)
            return position;
    }
    return -1;
}

// Number of ancestors of `node`: its index in a trail.
size_t DepthOf(pugi::xml_node node)
{
    size_t depth = 0;
    for (pugi::xml_node up = node.parent(); up; up = up.parent())
        ++depth;
    return depth;
}

// The trail from the document node to `item`; an attribute's trail runs through `element`.
std::vector<TreeItem> TrailTo(const TreeItem& item, pugi::xml_node element)
{
    if (const auto* node = std::get_if<pugi::xml_node>(&item))
        return Trail(*node).Items();
    std::vector<TreeItem> trail = Trail(element).Items();
    trail.push_back(item);
    return trail;
}

// A rectangle on the screen.
struct Rect
{
    ImVec2 min;
    ImVec2 max;
    float MiddleY() const { return (min.y + max.y) * 0.5f; }
};

// Whether `node` belongs to the version the open one is compared with: an added element's row, or a
// tree of that version's element. Asked once per tree drawn and on a click: it walks up to the
// document.
bool InOtherVersion(const Gui& gui, pugi::xml_node node)
{
    return gui.shownChanges && gui.shownChanges->newModel->FileOf(node).has_value();
}

constexpr const char* kIndexingTooltip = "Indexing in progress. Please wait.";

// The colour of a row with a change of its own, by the kind that matters most; null for a row
// with changes only below it.
const ImVec4* ChangeColour(const Gui& gui, const ChangeMark& mark)
{
    if (mark.Has(ChangeKind::Removed))
        return &gui.removedColor;
    if (mark.Has(ChangeKind::Moved))
        return &gui.movedColor;
    if (mark.Has(ChangeKind::Changed))
        return &gui.changedColor;
    if (mark.Has(ChangeKind::Added))
        return &gui.addedColor;
    return nullptr;
}

// After a row's tag: what changed on it, and on a closed row how many changes lie at it and below.
// A removed element's tag is struck through.
void DrawChangeMarker(const Gui& gui, const ChangeMark& mark, bool open, float labelX, const char* tag)
{
    if (mark.Has(ChangeKind::Removed)) {
        const float left = labelX + ImGui::GetTreeNodeToLabelSpacing();
        const float y = (ImGui::GetItemRectMin().y + ImGui::GetItemRectMax().y) * 0.5f;
        ImGui::GetWindowDrawList()->AddLine(ImVec2(left, y), ImVec2(left + ImGui::CalcTextSize(tag).x, y),
                                            ImGui::GetColorU32(gui.removedColor), 1.0f);
    }
    std::string text = ChangeMarkerText(mark, open);
    if (text.empty())
        return;
    const ImVec4* colour = ChangeColour(gui, mark);
    ImGui::SameLine(0, 10);
    TextInColour(colour ? *colour : gui.changedColor, text);
}

// One tree: the arguments that stay the same for every row, and the levels open on the way down
// to the row being drawn. Drawn with a stack of its own, never by recursion: a document may be
// nested deeper than any thread's stack allows.
class TreeDrawer
{
public:
    TreeDrawer(Gui& gui, bool isMain, const std::vector<TreeItem>& navigationTarget,
               const TreeFilterMatches* filter, TreeRoots& roots, ImGuiID treeId)
        : gui(gui), isMain(isMain), navigationTarget(navigationTarget), filter(filter), path(roots.path),
          roots(roots), treeId(treeId), fontSize(ImGui::GetFontSize())
    {}

    // The children a filter keeps below `node`, or null when all of them are shown.
    const TreeFilterMatches::Shown* FilteredChildren(pugi::xml_node node) const
    {
        if (!filter)
            return nullptr;
        auto it = filter->shownChildren.find(node.internal_object());
        return it == filter->shownChildren.end() ? nullptr : &it->second;
    }

    // Draws the children of the document node `document` (nav depth 0) and everything open below.
    void DrawDocument(pugi::xml_node document);
    // Draws `root`, at nav depth `navDepth`, with everything open below it.
    void DrawFromRoot(pugi::xml_node root, size_t navDepth);

    // The level of the first rows, from which small elements open by themselves.
    size_t firstLevel = 0;

    // A deeper part the user opened this frame: the tree starts there from the next frame on.
    std::optional<std::pair<pugi::xml_node, std::string>> deeperRoot;

private:
    struct Row
    {
        Rect rect;      // full width of the visible content area
        float labelX;   // where the row's own content starts
        bool hovered;   // the mouse or the keyboard focus is on the row
        bool visible;   // not clipped: decorations and lookups are skipped otherwise
        bool onNavPath; // an ancestor of the navigation target, or the target itself
        bool navTarget; // the target itself
        // Of the version the open one is compared with: its references are that version's.
        bool otherVersion;
    };

    // An open element whose children are being drawn.
    struct Level
    {
        pugi::xml_node node;
        const TreeFilterMatches::Shown* filtered;
        pugi::xml_attribute nextAttribute;
        pugi::xml_node nextChild; // of the whole tree's page
        int attributeIndex = 0;
        int index = 0; // of the next child, among the element's children or the filter's
        int last = 0;  // one past the last child of the page
        int childSiblingCount = 0;
        ImGuiID pageId = 0; // where the page shown is kept
        int page = 0;
        int pages = 0;         // more than 1: a pager is drawn below the page too
        size_t pathLength = 0; // of this element's path
        size_t navDepth = 0;
        size_t level = 0;
        float guideX = 0;
        float rowBottom = 0;
        float lastMiddle = -1;
        // Rows of elements the other version adds here, after its own children: those of the page.
        const std::vector<uint32_t>* added = nullptr;
        size_t addedIndex = 0;
        size_t addedEnd = 0;
        bool otherVersion = false; // the element is the other version's
    };

    // One child to draw: the item, its id among its siblings and its sibling number.
    struct Child
    {
        TreeItem item;
        int idIndex;
        int siblingIndex;
        bool added = false;        // added by the other version: a row of its own after the element's
        bool otherVersion = false; // an element of the other version, added or below one
    };

    // Draws rows from the open levels until none is left.
    void DrawOpenLevels();
    // Draws one row; an element row that opens pushes its level, its id still pushed.
    void DrawRow(const Child& child, pugi::xml_node parent, int siblingCount, size_t navDepth, size_t level);
    std::optional<Child> NextChild(Level& level) const;
    std::optional<Child> NextAdded(Level& level) const;
    void CloseLevel();
    void DrawGuide(Level& level, const Rect& row);

    void DrawLeafRow(const Row& row, const TreeItem& item, pugi::xml_node parent, const char* idLabel,
                     const std::string& label, const char* value);
    void DrawElementRow(Row& row, pugi::xml_node node, int siblingIndex, int siblingCount, size_t navDepth,
                        size_t level);
    void DrawElementDecorations(const Row& row, pugi::xml_node node, NodeMemo& memo, int siblingIndex,
                                int siblingCount);
    // A text that names an element: colour and buttons say whether it does.
    void DrawReference(const Row& row, const char* text, pugi::xml_node holder);
    void HighlightButton(const Row& row, const TreeItem& item, pugi::xml_node parent);
    // Right after the reference text's row value, which a Ctrl+click also follows.
    void OpenRefButtons(const Row& row, const std::string& target, const Result<Ref>& found);
    // A reference of the other version, which names an element there: opened in a window on it.
    void DrawOtherVersionReference(const Row& row, const char* text, const std::string& target);
    // A reference that names nothing: the buttons say so, and so does a Ctrl+click.
    void BrokenRefButtons(const Row& row, bool ctrlClickedText, const std::string& why);
    // "-", the page slider and "+", on the row's line when `sameLine`; the page chosen.
    int PageControls(int page, int pages, bool sameLine = true);
    void SetNotice(std::string text);

    Gui& gui;
    const bool isMain;
    const std::vector<TreeItem>& navigationTarget;
    const TreeFilterMatches* filter;
    std::string& path; // of the element being drawn
    TreeRoots& roots;
    const ImGuiID treeId;
    const float fontSize;
    std::vector<Level> levels;
    Row lastRow; // the row drawn last
};

void TreeDrawer::DrawDocument(pugi::xml_node document)
{
    Level top;
    top.node = document;
    top.filtered = FilteredChildren(document);
    top.pathLength = path.size();
    top.last = top.filtered ? int(top.filtered->size()) : MemoOf(document, gui.pageSize).childCount;
    top.nextChild = top.filtered ? pugi::xml_node() : document.first_child();
    top.guideX = -1; // no guide lines to the top rows
    top.added = gui.shownChanges ? gui.shownChanges->AddedRowsOf(document) : nullptr;
    top.addedEnd = top.added ? top.added->size() : 0;
    if (filter && !top.filtered) {
        TextInColour(gui.mutedColor, "No element matches the filter.");
        return;
    }
    firstLevel = 1;
    levels.push_back(top);
    DrawOpenLevels();
}

void TreeDrawer::DrawFromRoot(pugi::xml_node root, size_t navDepth)
{
    DrawRow(Child{root, 0, 0, false, InOtherVersion(gui, root)}, root.parent(), 0, navDepth, 0);
    DrawOpenLevels();
}

void TreeDrawer::DrawOpenLevels()
{
    while (!levels.empty()) {
        Level& level = levels.back();
        std::optional<Child> child = NextChild(level);
        if (!child) {
            CloseLevel();
            continue;
        }
        const pugi::xml_node parent = level.node;
        const int siblingCount = child->added ? 0 : level.childSiblingCount;
        const size_t navDepth = level.navDepth + 1;
        const size_t depth = level.level + 1;
        const size_t before = levels.size();
        child->otherVersion = child->added || level.otherVersion;
        DrawRow(*child, parent, siblingCount, navDepth, depth);
        // The level may have moved when the row pushed its own.
        DrawGuide(levels[before - 1], lastRow.rect);
    }
}

std::optional<TreeDrawer::Child> TreeDrawer::NextChild(Level& level) const
{
    // Attributes first, then the nodes of the current page.
    if (level.nextAttribute) {
        pugi::xml_attribute attribute = level.nextAttribute;
        level.nextAttribute = attribute.next_attribute();
        --level.attributeIndex; // negative ids keep attributes apart from child nodes
        return Child{attribute, level.attributeIndex, 0};
    }
    if (level.index >= level.last)
        return NextAdded(level);
    const int index = level.index++;
    if (level.filtered) {
        const TreeFilterMatches::ShownChild& shown = (*level.filtered)[index];
        return Child{shown.node, index, int(shown.position)};
    }
    pugi::xml_node node = level.nextChild;
    if (!node)
        return NextAdded(level);
    level.nextChild = node.next_sibling();
    return Child{node, index, index};
}

std::optional<TreeDrawer::Child> TreeDrawer::NextAdded(Level& level) const
{
    // Ids past any child's keep them apart from the element's own rows.
    constexpr int kAddedIds = 1 << 30;
    while (level.added && level.addedIndex < level.addedEnd) {
        const uint32_t change = (*level.added)[level.addedIndex++];
        const pugi::xml_node node = gui.shownChanges->changes[change].newNode;
        if (!level.filtered || filter->matches.count(node.internal_object()))
            return Child{node, kAddedIds + int(change), 0, true};
    }
    return std::nullopt;
}

void TreeDrawer::DrawGuide(Level& level, const Rect& row)
{
    if (level.guideX < 0)
        return;
    level.lastMiddle = row.MiddleY();
    if (ImGui::IsRectVisible(row.min, row.max))
        ImGui::GetWindowDrawList()->AddLine(ImVec2(level.guideX, level.lastMiddle),
                                            ImVec2(row.min.x + gui.treeFramePadding.x - 2, level.lastMiddle),
                                            ImGui::GetColorU32(gui.guideLineColor), 1.0f);
}

void TreeDrawer::CloseLevel()
{
    const Level& level = levels.back();
    if (level.guideX >= 0) {
        // A long page ends with a pager of its own, so that the next page is at hand there too.
        if (level.pages > 1) {
            ImGui::PushID("below");
            const int page = PageControls(level.page, level.pages, false);
            ImGui::PopID();
            if (page != level.page)
                ImGui::GetStateStorage()->SetInt(level.pageId, page);
        }
        if (level.lastMiddle >= 0)
            ImGui::GetWindowDrawList()->AddLine(ImVec2(level.guideX, level.rowBottom),
                                                ImVec2(level.guideX, level.lastMiddle),
                                                ImGui::GetColorU32(gui.guideLineColor), 1.0f);
        ImGui::TreePop();
        ImGui::PopID();
    }
    levels.pop_back();
    if (!levels.empty())
        path.resize(levels.back().pathLength);
}

void TreeDrawer::DrawRow(const Child& child, pugi::xml_node parent, int siblingCount, size_t navDepth,
                         size_t level)
{
    const TreeItem& item = child.item;
    ImGui::PushID(child.idIndex);
    ImGui::AlignTextToFramePadding();

    const ImVec2 cursor = ImGui::GetCursorScreenPos();
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    Row& row = lastRow;
    row.labelX = cursor.x;
    row.rect = Rect{ImVec2(drawList->GetClipRectMin().x, cursor.y),
                    ImVec2(drawList->GetClipRectMax().x, cursor.y + fontSize + 2 * gui.treeFramePadding.y)};
    row.visible = ImGui::IsRectVisible(row.rect.min, row.rect.max);
    row.hovered = row.visible && ImGui::IsWindowHovered(ImGuiHoveredFlags_AllowWhenBlockedByActiveItem) &&
                  ImGui::IsMouseHoveringRect(row.rect.min, row.rect.max, false);

    row.onNavPath = navigationTarget.size() > navDepth && navigationTarget[navDepth] == item;
    row.navTarget = row.onNavPath && navDepth + 1 == navigationTarget.size();
    row.otherVersion = child.otherVersion;
    if (row.visible || row.navTarget) {
        ImGuiStorage* storage = ImGui::GetStateStorage();
        // The id of name + "##select_timer_id" in the row's scope.
        ImGui::PushID(ItemName(item));
        const ImGuiID timerId = ImGui::GetID("##select_timer_id");
        ImGui::PopID();
        const float now = NowSeconds();
        if (row.navTarget) {
            storage->SetFloat(timerId, now + gui.highlightDuration);
            ImGui::SetScrollX(0.0f); // the target's tag from its start, not cut at the left edge
            ImGui::SetScrollFromPosY(row.rect.MiddleY() - ImGui::GetWindowPos().y, 0.5f);
        }
        const bool highlighted = now < storage->GetFloat(timerId, 0.0f);
        if (highlighted)
            KeepDrawing(); // the highlight must vanish on time
        if (highlighted)
            drawList->AddRectFilled(row.rect.min, row.rect.max, ImGui::GetColorU32(gui.highlightColor));
        if (row.hovered) {
            drawList->AddRectFilled(row.rect.min, row.rect.max,
                                    highlighted ? ImGui::GetColorU32(gui.highlightHoverColor)
                                                : ImGui::GetColorU32(ImGuiCol_HeaderHovered));
        }
    }

    const size_t levelsBefore = levels.size();
    if (const auto* attribute = std::get_if<pugi::xml_attribute>(&item)) {
        const std::string label = std::string(attribute->name()) + ": ";
        DrawLeafRow(row, item, parent, label.c_str(), label, attribute->value());
    } else {
        pugi::xml_node node = std::get<pugi::xml_node>(item);
        if (node.type() == pugi::node_pcdata)
            DrawLeafRow(row, item, parent, "PCDATA: ", "PCDATA: ", node.value());
        else
            DrawElementRow(row, node, child.siblingIndex, siblingCount, navDepth, level);
    }
    if (levels.size() == levelsBefore)
        ImGui::PopID(); // else popped when its level closes
    row.rect.min.x = row.labelX;
}

void TreeDrawer::DrawLeafRow(const Row& row, const TreeItem& item, pugi::xml_node parent, const char* idLabel,
                             const std::string& label, const char* value)
{
    ImGui::PushStyleColor(ImGuiCol_Text, gui.leafLabelColor);
    TreeNodeVerbatim(idLabel, label,
                     ImGuiTreeNodeFlags_Leaf | ImGuiTreeNodeFlags_Bullet | ImGuiTreeNodeFlags_SpanAvailWidth |
                         ImGuiTreeNodeFlags_AllowItemOverlap);
    ImGui::PopStyleColor();
    if (ImGui::IsItemHovered())
        gui.statusText = ShownPath(path); // the element the text or attribute belongs to
    if (row.visible) {
        ImGui::SameLine(0, 0);
        RowValue(ImGui::GetStyleColorVec4(ImGuiCol_Text), "", value, gui.mutedColor);
        if (gui.ActionButton(row.hovered, Icon::Copy, "Copy content to clipboard", 0))
            CopyToClipboard(value);
        if (!isMain)
            HighlightButton(row, item, parent);
    }
    ImGui::TreePop();
}

void TreeDrawer::HighlightButton(const Row& row, const TreeItem& item, pugi::xml_node parent)
{
    if (!gui.ActionButton(row.hovered, Icon::Highlighter, "Highlight in main window", 1))
        return;
    if (!InOtherVersion(gui, parent)) {
        gui.navigation.GoTo(TrailTo(item, parent), ShownPath(path));
        return;
    }
    // The main tree shows the open version: its element at the same path, if it has one.
    Result<Ref> found = gui.state->FindRef(ShownPath(path));
    if (found.status == ResultStatus::Done)
        gui.navigation.GoTo(found.GetValue()->trail, ShownPath(path));
}

void TreeDrawer::DrawElementRow(Row& row, pugi::xml_node node, int siblingIndex, int siblingCount,
                                size_t navDepth, size_t level)
{
    ImGuiStorage* storage = ImGui::GetStateStorage();
    const ImGuiID pageId = ImGui::GetID("##page"); // in the row's scope
    NodeMemo& memo = MemoOf(node, gui.pageSize);
    const TreeFilterMatches::Shown* filtered = FilteredChildren(node);
    const int childCount = filtered ? int(filtered->size()) : memo.childCount;
    // Rows of elements the other version adds here follow the element's own, paged with them.
    const std::vector<uint32_t>* added = gui.shownChanges ? gui.shownChanges->AddedRowsOf(node) : nullptr;
    const int rowCount = childCount + (added ? int(added->size()) : 0);
    const bool paged = filtered || added ? IsPagedElement(node.name(), rowCount, gui.pageSize) : memo.paged;

    if (row.onNavPath)
        ImGui::SetNextItemOpen(true);
    else if (filtered) // the way down to a match opens by itself
        ImGui::SetNextItemOpen(true, ImGuiCond_Once);
    else if (OpensOnce(childCount, int(level - firstLevel)))
        ImGui::SetNextItemOpen(true, ImGuiCond_Once);

    // Only rows in sight look for a change: the frame costs what it shows.
    const ChangeMark* change = row.visible && gui.shownChanges ? gui.shownChanges->MarkOf(node) : nullptr;
    const ImVec4* changeColour = change ? ChangeColour(gui, *change) : nullptr;
    if (row.onNavPath || changeColour)
        ImGui::PushStyleColor(ImGuiCol_Text, row.onNavPath ? gui.highlightColor : *changeColour);
    const bool open =
        TreeNodeVerbatim(node.name(), node.name(),
                         ImGuiTreeNodeFlags_OpenOnArrow | ImGuiTreeNodeFlags_OpenOnDoubleClick |
                             ImGuiTreeNodeFlags_SpanAvailWidth | ImGuiTreeNodeFlags_AllowItemOverlap);
    if (row.onNavPath || changeColour)
        ImGui::PopStyleColor();
    if (change)
        DrawChangeMarker(gui, *change, open, row.labelX, node.name());
    // A row reached with the keyboard shows its buttons as a hovered one does.
    if (row.visible && ImGui::IsItemFocused() && ImGui::IsWindowFocused())
        row.hovered = true;

    // A closed row out of sight needs nothing more; most rows of a long tree are like that.
    if (!open && !row.visible)
        return;

    const size_t parentPathLength = path.size();
    // The row a tree starts from keeps the path it was found by: rebuilding it from the parent's
    // path and its SHORT-NAME goes wrong for a name that contains "/" or is empty.
    if (memo.shortName && level > 0)
        AppendPathStep(path, memo.shortName.text().get());
    if (row.hovered) {
        gui.statusText = ShownPath(path);
        if (memo.shortName)
            gui.tree.hoveredElementPath = path;
    }

    if (row.visible)
        DrawElementDecorations(row, node, memo, siblingIndex, siblingCount);

    if (!open) {
        if (!isMain)
            HighlightButton(row, node, node.parent());
        path.resize(parentPathLength);
        return;
    }

    int page = storage->GetInt(pageId, 1);
    int pages = 0;
    if (row.onNavPath && navigationTarget.size() > navDepth + 1) {
        int position = PositionAmongChildren(node, navigationTarget[navDepth + 1]);
        if (position < 0 && added) {
            const auto* target = std::get_if<pugi::xml_node>(&navigationTarget[navDepth + 1]);
            for (size_t i = 0; target && i < added->size() && position < 0; ++i) {
                if (gui.shownChanges->changes[(*added)[i]].newNode == *target)
                    position = childCount + int(i);
            }
        }
        if (position >= 0)
            page = PageOfPosition(position, gui.pageSize);
    }
    if (paged && rowCount > gui.pageSize) {
        pages = PageCount(rowCount, gui.pageSize);
        page = ClampPage(page, pages);
        if (row.visible)
            page = PageControls(page, pages);
        storage->SetInt(pageId, page);
    } else {
        page = 1;
    }

    if (!isMain && row.visible)
        HighlightButton(row, node, node.parent());

    if (level >= kLevelsShown && (childCount > 0 || node.first_attribute())) {
        // Deeper rows open as a tree of their own, starting from this element.
        ImGui::PushStyleColor(ImGuiCol_Text, gui.mutedColor);
        if (ImGui::SmallButton("... deeper levels"))
            deeperRoot.emplace(node, path);
        ImGui::PopStyleColor();
        ImGui::TreePop();
        path.resize(parentPathLength);
        return;
    }

    Level opened;
    opened.node = node;
    opened.filtered = filtered;
    opened.nextAttribute = filtered ? pugi::xml_attribute() : node.first_attribute();
    opened.index = paged ? (page - 1) * gui.pageSize : 0;
    opened.last = paged ? std::min(childCount, page * gui.pageSize) : childCount;
    opened.nextChild = filtered ? pugi::xml_node()
                       : paged  ? PageStart(pageId, node, page, gui.pageSize)
                                : node.first_child();
    // Sibling numbers are the element's own: a filtered row keeps its real position.
    opened.childSiblingCount = memo.paged ? memo.childCount : 0;
    opened.pageId = pageId;
    opened.page = page;
    opened.pages = pages;
    opened.added = added;
    opened.addedIndex = paged ? std::max(0, (page - 1) * gui.pageSize - childCount) : 0;
    opened.addedEnd =
        added ? (paged ? std::clamp(page * gui.pageSize - childCount, 0, int(added->size())) : added->size())
              : 0;
    opened.otherVersion = row.otherVersion;
    opened.pathLength = path.size();
    opened.navDepth = navDepth;
    opened.level = level;
    opened.guideX = row.labelX + gui.treeFramePadding.x + fontSize * 0.5f;
    opened.rowBottom = row.rect.max.y;
    levels.push_back(opened);
}

void TreeDrawer::DrawElementDecorations(const Row& row, pugi::xml_node node, NodeMemo& memo, int siblingIndex,
                                        int siblingCount)
{
    if (siblingCount > 0) {
        ImGui::SameLine(0, 20);
        TextInColour(gui.mutedColor, SiblingLabel(siblingIndex, siblingCount));
    }
    if (memo.childCount == 0 && !(gui.shownChanges && gui.shownChanges->AddedRowsOf(node))) {
        ImGui::SameLine(0, 20);
        TextInColour(gui.mutedColor, "(empty)");
    }

    if (memo.shortName) {
        ImGui::SameLine(0, 20);
        const char* name = memo.shortName.text().get();
        std::optional<TextRange> mark;
        if (filter && filter->matcher && filter->matches.count(node.internal_object()))
            mark = filter->matcher->MarkInName(name, path);
        RowValue(gui.shortNameColor, std::string(Icon::Tag) + " ", name, gui.mutedColor,
                 mark ? mark->from : 0, mark ? mark->length : 0, gui.highlightColor);

        if (!memo.refCount) {
            Result<size_t> count =
                row.otherVersion ? Result<size_t>::Value(gui.shownChanges->newModel->CountReferrers(path))
                                 : gui.state->CountRefsTo(path);
            if (count.status == ResultStatus::Done)
                memo.refCount = count.GetValue();
        }
        // The count buttons of all rows stand in one column, whatever their depth and names.
        const float nameEnd = ImGui::GetItemRectMax().x - ImGui::GetWindowPos().x + ImGui::GetScrollX() + 20;
        roots.countColumnNext = std::max(roots.countColumnNext, nameEnd);
        if (row.hovered || (memo.refCount && *memo.refCount > 0))
            ImGui::SameLine(std::max(nameEnd, roots.countColumn));
        if (!memo.refCount) {
            gui.ActionButton(row.hovered, Icon::Count, kIndexingTooltip, 4 | 8);
        } else {
            const size_t count = *memo.refCount;
            const std::string label = std::string(Icon::Count) + " " + std::to_string(count);
            const std::string tooltip = RefCountTooltip(count);
            if (count > 0) {
                // The References window lists the open version's referrers only.
                if (gui.ActionButton(true, label, tooltip, row.otherVersion ? 4 | 8 : 8) && !row.otherVersion)
                    gui.navigation.OpenRefsWindow(path);
            } else {
                gui.ActionButton(row.hovered, label, tooltip, 4 | 8);
            }
        }

        const bool marked = gui.bookmarks.count(path);
        if (gui.ActionButton(row.hovered, Icon::Bookmark, marked ? "Remove Bookmark" : "Add Bookmark",
                             marked ? 3 : 1))
            gui.ToggleBookmark(path);
        if (gui.ActionButton(row.hovered, Icon::Open, "Open element in a new window", 1)) {
            if (row.otherVersion)
                gui.otherVersion.Open(path);
            else
                gui.navigation.OpenElementWindow(path);
        }
        if (gui.ActionButton(row.hovered, Icon::Copy, "Copy path to clipboard", 1))
            CopyToClipboard(path);
    }

    if (memo.text) {
        const char* t = memo.text.value();
        ImGui::SameLine(0, 20);
        DrawReference(row, t, memo.text.parent());
        if (gui.ActionButton(row.hovered, Icon::Copy, "Copy inner text to clipboard", 0))
            CopyToClipboard(t);
    }
}

// Whether the item drawn last was Ctrl+clicked. By rectangle: the row's tree node takes the
// click as its own, so the text never counts as clicked itself.
bool CtrlClickedLastItem()
{
    return ImGui::GetIO().KeyCtrl && ImGui::IsMouseClicked(ImGuiMouseButton_Left) &&
           ImGui::IsWindowHovered() &&
           ImGui::IsMouseHoveringRect(ImGui::GetItemRectMin(), ImGui::GetItemRectMax());
}

void TreeDrawer::DrawReference(const Row& row, const char* text, pugi::xml_node holder)
{
    const std::string link = std::string(Icon::Link) + " ";
    std::string target;
    const Workspace* other = row.otherVersion ? gui.shownChanges->newModel.get() : nullptr;
    if (IsReferenceText(text))
        target = text;
    else if (other)
        target = other->ResolvedReference(holder);
    else
        target =
            gui.state->ResolvedReference(holder); // written relative to a base: opened by the path it names
    if (other && (!target.empty() || !IsReferenceElement(holder))) {
        DrawOtherVersionReference(row, text, target);
    } else if (!target.empty()) {
        const Result<Ref> found = gui.state->FindRef(target);
        const bool missing = found.status == ResultStatus::Error;
        RowValue(missing ? gui.brokenReferenceColor : gui.referenceColor, link, text, gui.mutedColor);
        OpenRefButtons(row, target, found);
    } else if (other || (gui.state->GetKind() == StateKind::Ready && gui.state->GetWorkspace() &&
                         IsReferenceElement(holder))) {
        // The relative references of a folder are resolved while it is indexed: this one's base
        // was not found.
        RowValue(gui.brokenReferenceColor, link, text, gui.mutedColor);
        BrokenRefButtons(row, CtrlClickedLastItem(), kBaseUnknown);
    } else {
        RowValue(gui.textValueColor, std::string(Icon::Code) + " ", text, gui.mutedColor);
    }
}

void TreeDrawer::OpenRefButtons(const Row& row, const std::string& target, const Result<Ref>& found)
{
    const bool ctrlClickedText = CtrlClickedLastItem();
    const std::string openLabel = std::string(Icon::Open) + " Open Ref";
    if (found.status == ResultStatus::Done) {
        ImGui::SameLine(0, 20);
        // Ctrl+click goes to the definition in the main tree instead of opening a window.
        if (ImGui::Button(openLabel.c_str())) {
            if (ImGui::GetIO().KeyCtrl)
                gui.navigation.GoTo(found.GetValue()->trail, target);
            else
                gui.navigation.OpenElementWindow(target);
        }
        if (gui.ActionButton(true, std::string(Icon::GoTo) + " Go to", "Go to the definition (Ctrl+click)",
                             1) ||
            ctrlClickedText)
            gui.navigation.GoTo(found.GetValue()->trail, target);
    } else if (found.status == ResultStatus::Pending) {
        gui.ActionButton(row.hovered, openLabel, kIndexingTooltip, 4);
    } else if (found.status == ResultStatus::Error) {
        BrokenRefButtons(row, ctrlClickedText, kTargetMissing);
    }
}

void TreeDrawer::DrawOtherVersionReference(const Row& row, const char* text, const std::string& target)
{
    if (target.empty()) {
        RowValue(gui.textValueColor, std::string(Icon::Code) + " ", text, gui.mutedColor);
        return;
    }
    const bool found = gui.shownChanges->newModel->FindPath(target).has_value();
    RowValue(found ? gui.referenceColor : gui.brokenReferenceColor, std::string(Icon::Link) + " ", text,
             gui.mutedColor);
    const bool ctrlClickedText = CtrlClickedLastItem();
    if (!found) {
        BrokenRefButtons(row, ctrlClickedText, kTargetMissing);
        return;
    }
    ImGui::SameLine(0, 20);
    const std::string openLabel = std::string(Icon::Open) + " Open Ref";
    if (ImGui::Button(openLabel.c_str()) || ctrlClickedText)
        gui.otherVersion.Open(target);
}

void TreeDrawer::BrokenRefButtons(const Row& row, bool ctrlClickedText, const std::string& why)
{
    // The text says why when hovered; so does the Go to button, which says it again when pressed.
    if (gui.showTooltips && ImGui::IsItemHovered())
        ImGui::SetTooltip("%s", why.c_str());
    const bool pressed = gui.ActionButton(row.hovered, std::string(Icon::GoTo) + " Go to", why, 1);
    if (pressed || ctrlClickedText)
        SetNotice(BrokenReferenceNotice(why));
}

void TreeDrawer::SetNotice(std::string text)
{
    Memo().notice = Notice{treeId, std::move(text), NowSeconds() + 4.0f};
}

int TreeDrawer::PageControls(int page, int pages, bool sameLine)
{
    if (sameLine)
        ImGui::SameLine(0, 20);
    if (ImGui::Button("-"))
        page = std::max(1, page - 1);
    ImGui::SameLine(0, 2);
    ImGui::SetNextItemWidth(10 * fontSize);
    const std::string format = "%d / " + std::to_string(pages);
    ImGui::SliderInt("##page_slider", &page, 1, pages, format.c_str());
    ImGui::SameLine(0, 2);
    if (ImGui::Button("+"))
        page = std::min(pages, page + 1);
    return ClampPage(page, pages);
}

// The tree's roots for a navigation target below its top (at nav depth `topDepth`): the start of
// the stretch of kLevelsShown levels that holds the target, or an attribute's or text's element,
// and every start above it.
void RootsFor(TreeRoots& roots, const std::vector<TreeItem>& target, size_t topDepth)
{
    const auto* node = std::get_if<pugi::xml_node>(&target.back());
    const bool element = node && (node->type() == pugi::node_element || node->type() == pugi::node_document);
    const size_t below = target.size() - 1 - topDepth - (element ? 0 : 1);
    const size_t stretch = below / kLevelsShown;
    const TreeItem& wanted = target[topDepth + stretch * kLevelsShown];
    if (roots.roots.size() == stretch + 1 && TreeItem(roots.roots.back().first) == wanted)
        return;
    roots.roots.resize(1);
    roots.path.resize(roots.roots.front().second);
    for (size_t i = 1; i <= stretch * kLevelsShown; ++i) {
        pugi::xml_node node = std::get<pugi::xml_node>(target[topDepth + i]);
        if (pugi::xml_node shortName = ShortNameChild(node))
            AppendPathStep(roots.path, shortName.text().get());
        if (i % kLevelsShown == 0)
            roots.roots.emplace_back(node, roots.path.size());
    }
}

} // namespace

void Gui::DrawTree(const std::string& path, bool isMain, pugi::xml_node node,
                   const std::vector<TreeItem>& navigationTarget, const TreeFilterMatches* filter)
{
    UseMemoFor(state->document ? std::shared_ptr<const void>(state->document)
                               : std::shared_ptr<const void>(state->GetWorkspace()),
               shownChanges ? shownChanges->serial : 0);
    const ImGuiID treeId = ImGui::GetID("##tree");
    auto& trees = Memo().trees;
    // Previews come and go with their selection: the trees not drawn lately are forgotten.
    if (trees.size() > 64)
        std::erase_if(trees,
                      [](const auto& entry) { return entry.second.lastFrame + 1 < ImGui::GetFrameCount(); });
    TreeRoots& roots = trees[treeId];
    if (roots.top != node || roots.roots.empty()) {
        roots.top = node;
        // Paths grow from the path of the nearest named node: "" above the topmost.
        roots.path = path == "/" && !NamedAtOrAbove(node) ? std::string() : path;
        roots.roots.assign(1, {node, roots.path.size()});
    }
    if (roots.lastFrame != ImGui::GetFrameCount()) {
        roots.countColumn = roots.countColumnNext;
        roots.countColumnNext = 0;
    }
    roots.lastFrame = ImGui::GetFrameCount();
    const bool fromDocument = node.type() == pugi::node_document;
    // Depths matter only to follow a navigation target; the walk up is spared on other frames.
    const size_t topDepth = navigationTarget.empty() || fromDocument ? 0 : DepthOf(node);
    if (navigationTarget.size() > topDepth && navigationTarget[topDepth] == TreeItem(node))
        RootsFor(roots, navigationTarget, topDepth);

    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, treeFramePadding);
    const size_t shownAbove = roots.roots.size() - 1;
    if (shownAbove > 0) {
        ImGui::PushStyleColor(ImGuiCol_Text, mutedColor);
        const std::string label = "... " + std::to_string(shownAbove * kLevelsShown) + " levels above";
        if (ImGui::SmallButton(label.c_str())) {
            roots.roots.pop_back();
            roots.path.resize(roots.roots.back().second);
        }
        ImGui::PopStyleColor();
    }
    const pugi::xml_node root = roots.roots.back().first;
    TreeDrawer drawer(*this, isMain, navigationTarget, filter, roots, treeId);
    if (root == node && fromDocument) {
        drawer.DrawDocument(node);
    } else {
        // A deeper start keeps its rows apart from the same rows drawn from the top.
        if (root != node)
            ImGui::PushID(root.internal_object());
        drawer.DrawFromRoot(root, topDepth + shownAbove * kLevelsShown);
        if (root != node)
            ImGui::PopID();
    }
    if (drawer.deeperRoot) {
        roots.path = std::move(drawer.deeperRoot->second);
        roots.roots.emplace_back(drawer.deeperRoot->first, roots.path.size());
    }
    ImGui::PopStyleVar();

    Notice& notice = Memo().notice;
    if (notice.tree == treeId && NowSeconds() < notice.until) {
        statusText = notice.text;
        KeepDrawing(); // the notice must vanish on time
    }
}

bool Gui::ActionButton(bool visible, std::string label, std::string tooltip, int flags)
{
    if (!visible)
        return false;
    if (!(flags & 8))
        ImGui::SameLine(0, (flags & 1) ? 5.0f : 20.0f);
    int colours = 0;
    if (flags & 2) {
        ImGui::PushStyleColor(ImGuiCol_Text, buttonHighlightColor);
        ImGui::PushStyleColor(ImGuiCol_Border, buttonHighlightColor);
        colours = 2;
    }
    if (flags & 4)
        ImGui::PushStyleVar(ImGuiStyleVar_Alpha, ImGui::GetStyle().Alpha * 0.5f);
    // Several buttons of a row share an icon; the tooltip tells them apart.
    ImGui::PushID(tooltip.c_str());
    const bool pressed = ImGui::Button(label.c_str());
    ImGui::PopID();
    // The dimming of a disabled button must not reach its tooltip, which covers the next row.
    if (flags & 4)
        ImGui::PopStyleVar();
    ImGui::PopStyleColor(colours);
    if (showTooltips && ImGui::IsItemHovered()) {
        ImGui::BeginTooltip();
        ImGui::TextUnformatted(tooltip.c_str());
        ImGui::EndTooltip();
    }
    return (flags & 4) ? false : pressed;
}

bool CopyToClipboard(std::string text)
{
    if (!ImGui::GetCurrentContext())
        return false;
    ImGui::SetClipboardText(text.c_str());
    return true;
}
