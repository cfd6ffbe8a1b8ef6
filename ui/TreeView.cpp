#include "ui/Gui.h"
#include "ui/TreePaths.h"

#include "model/NodeText.h"

#include <imgui_internal.h>

#include <cstring>
#include <unordered_map>

namespace {

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
};

// The first child of the page a row shows. Kept per row of each window: two windows showing the
// same long list on different pages would otherwise take turns walking to their page every frame.
struct PageMemo
{
    pugi::xml_node node;
    int page = 0;
    pugi::xml_node pageStart;
};

struct TreeMemo
{
    std::weak_ptr<const void> document; // the document, or the workspace of several
    std::unordered_map<pugi::xml_node_struct*, NodeMemo> nodes;
    std::unordered_map<ImGuiID, PageMemo> pages; // by the row's id, which includes its window's
};

TreeMemo& Memo()
{
    static TreeMemo memo;
    return memo;
}

void UseMemoFor(const std::shared_ptr<const void>& document)
{
    TreeMemo& memo = Memo();
    if (memo.document.expired() || memo.document.lock() != document) {
        memo.nodes.clear();
        memo.pages.clear();
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

// First child on `page` (1-based) of `node` as shown by the row `rowId`.
pugi::xml_node PageStart(ImGuiID rowId, pugi::xml_node node, int page, int pageSize)
{
    PageMemo& memo = Memo().pages[rowId];
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

// A document text on the current line: verbatim, one line, bounded length.
void RowValue(const ImVec4& colour, std::string_view prefix, std::string_view text, const ImVec4& mutedColour)
{
    TextSlice slice = RowText(text);
    std::string shown(prefix);
    shown.append(slice.shown);
    TextInColour(colour, shown);
    if (slice.cut) {
        ImGui::SameLine(0, 0);
        TextInColour(mutedColour, " ...");
    }
}

// A tree node whose label is drawn exactly as given (no "##" handling).
bool TreeNodeVerbatim(std::string_view label, ImGuiTreeNodeFlags flags)
{
    ImGuiWindow* window = ImGui::GetCurrentWindow();
    const char* begin = label.data();
    const char* end = begin + label.size();
    return ImGui::TreeNodeBehavior(window->GetID(begin, end), flags, begin, end);
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

constexpr const char* kIndexingTooltip = "Indexing in progress. Please wait.";

// One tree: the arguments that stay the same for every row.
class TreeDrawer
{
public:
    TreeDrawer(Gui& gui, bool isMain, const std::vector<TreeItem>& navigationTarget,
               const TreeFilterMatches* filter)
        : gui(gui), isMain(isMain), navigationTarget(navigationTarget), filter(filter),
          fontSize(ImGui::GetFontSize())
    {}

    // The children a filter keeps below `node`, or null when all of them are shown.
    const std::vector<pugi::xml_node>* FilteredChildren(pugi::xml_node node) const
    {
        if (!filter)
            return nullptr;
        auto it = filter->shownChildren.find(node.internal_object());
        return it == filter->shownChildren.end() ? nullptr : &it->second;
    }

    // Draws one row and, when open, its subtree; returns the row's rectangle, starting at the label.
    ImRect DrawNode(std::vector<TreeItem>& trail, const TreeItem& item, int idIndex, int siblingIndex,
                    const std::string& parentPath, int siblingCount, size_t navDepth, int level);

    // The top element of a subtree keeps the path it was found by: rebuilding it from the parent's
    // path and its SHORT-NAME goes wrong for a name that contains "/" or is empty.
    void SetTop(pugi::xml_node node, const std::string& path)
    {
        topNode = node;
        topPath = path;
    }

private:
    struct Row
    {
        ImRect rect;    // full width of the visible content area
        float labelX;   // where the row's own content starts
        bool hovered;   // the mouse is over the row
        bool visible;   // not clipped: decorations and lookups are skipped otherwise
        bool onNavPath; // an ancestor of the navigation target, or the target itself
        bool navTarget; // the target itself
    };

    void DrawLeafRow(const Row& row, const char* label, const char* value, const std::vector<TreeItem>& trail,
                     const std::string& parentPath);
    void DrawElementRow(Row& row, std::vector<TreeItem>& trail, pugi::xml_node node, int siblingIndex,
                        const std::string& parentPath, int siblingCount, size_t navDepth, int level);
    void DrawElementDecorations(const Row& row, const NodeMemo& memo, const std::string& path,
                                int siblingIndex, int siblingCount);
    void HighlightButton(const Row& row, const std::vector<TreeItem>& trail, const std::string& path);
    // Right after the reference text's row value, which a Ctrl+click also follows.
    void OpenRefButton(const Row& row, const std::string& target);
    int PageControls(int page, int pages);

    Gui& gui;
    const bool isMain;
    const std::vector<TreeItem>& navigationTarget;
    const TreeFilterMatches* filter;
    const float fontSize;
    pugi::xml_node topNode;
    std::string topPath;
};

ImRect TreeDrawer::DrawNode(std::vector<TreeItem>& trail, const TreeItem& item, int idIndex, int siblingIndex,
                            const std::string& parentPath, int siblingCount, size_t navDepth, int level)
{
    trail.push_back(item);
    ImGui::PushID(idIndex);
    ImGui::AlignTextToFramePadding();

    ImGuiWindow* window = ImGui::GetCurrentWindow();
    const ImVec2 cursor = ImGui::GetCursorScreenPos();
    Row row;
    row.labelX = cursor.x;
    row.rect = ImRect(window->InnerClipRect.Min.x, cursor.y, window->InnerClipRect.Max.x,
                      cursor.y + fontSize + 2 * gui.treeFramePadding.y);
    row.visible = ImGui::IsRectVisible(row.rect.Min, row.rect.Max);
    row.hovered = row.visible && ImGui::IsWindowHovered(ImGuiHoveredFlags_AllowWhenBlockedByActiveItem) &&
                  ImGui::IsMouseHoveringRect(row.rect.Min, row.rect.Max, false);

    row.onNavPath = navigationTarget.size() > navDepth && navigationTarget[navDepth] == item;
    row.navTarget = row.onNavPath && navDepth + 1 == navigationTarget.size();
    if (row.visible || row.navTarget) {
        ImGuiStorage* storage = ImGui::GetStateStorage();
        // The id of name + "##select_timer_id", hashed in two steps to spare building the string.
        const ImGuiID timerId =
            ImHashStr("##select_timer_id", 0, ImHashStr(ItemName(item), 0, window->IDStack.back()));
        const float now = NowSeconds();
        if (row.navTarget) {
            storage->SetFloat(timerId, now + gui.highlightDuration);
            ImGui::SetScrollX(0.0f); // the target's tag from its start, not cut at the left edge
            ImGui::SetScrollFromPosY(row.rect.GetCenter().y - window->Pos.y, 0.5f);
        }
        const bool highlighted = now < storage->GetFloat(timerId, 0.0f);
        if (highlighted)
            KeepDrawing(); // the highlight must vanish on time
        ImDrawList* drawList = ImGui::GetWindowDrawList();
        if (highlighted)
            drawList->AddRectFilled(row.rect.Min, row.rect.Max, ImGui::GetColorU32(gui.highlightColor));
        if (row.hovered) {
            drawList->AddRectFilled(row.rect.Min, row.rect.Max,
                                    highlighted ? ImGui::GetColorU32(gui.highlightHoverColor)
                                                : ImGui::GetColorU32(ImGuiCol_HeaderHovered));
        }
    }

    if (const auto* attribute = std::get_if<pugi::xml_attribute>(&item)) {
        DrawLeafRow(row, (std::string(attribute->name()) + ": ").c_str(), attribute->value(), trail,
                    parentPath);
    } else {
        pugi::xml_node node = std::get<pugi::xml_node>(item);
        if (node.type() == pugi::node_pcdata)
            DrawLeafRow(row, "PCDATA: ", node.value(), trail, parentPath);
        else
            DrawElementRow(row, trail, node, siblingIndex, parentPath, siblingCount, navDepth, level);
    }

    ImGui::PopID();
    trail.pop_back();
    return ImRect(row.labelX, row.rect.Min.y, row.rect.Max.x, row.rect.Max.y);
}

void TreeDrawer::DrawLeafRow(const Row& row, const char* label, const char* value,
                             const std::vector<TreeItem>& trail, const std::string& parentPath)
{
    ImGui::PushStyleColor(ImGuiCol_Text, gui.leafLabelColor);
    TreeNodeVerbatim(label, ImGuiTreeNodeFlags_Leaf | ImGuiTreeNodeFlags_Bullet |
                                ImGuiTreeNodeFlags_SpanAvailWidth | ImGuiTreeNodeFlags_AllowItemOverlap);
    ImGui::PopStyleColor();
    gui.SetStatusTextIfHovered(parentPath);
    if (row.visible) {
        ImGui::SameLine(0, 0);
        RowValue(ImGui::GetStyleColorVec4(ImGuiCol_Text), "", value, gui.mutedColor);
        if (gui.ActionButton(row.hovered, Icon::Copy, "Copy content to clipboard", 0))
            CopyToClipboard(value);
        if (!isMain)
            HighlightButton(row, trail, parentPath);
    }
    ImGui::TreePop();
}

void TreeDrawer::HighlightButton(const Row& row, const std::vector<TreeItem>& trail, const std::string& path)
{
    if (gui.ActionButton(row.hovered, Icon::Highlighter, "Highlight in main window", 1))
        gui.Reveal(trail, path);
}

void TreeDrawer::DrawElementRow(Row& row, std::vector<TreeItem>& trail, pugi::xml_node node, int siblingIndex,
                                const std::string& parentPath, int siblingCount, size_t navDepth, int level)
{
    ImGuiStorage* storage = ImGui::GetStateStorage();
    const ImGuiID rowScope = ImGui::GetCurrentWindow()->IDStack.back(); // "##page" lives here
    NodeMemo& memo = MemoOf(node, gui.pageSize);
    const std::vector<pugi::xml_node>* filtered = FilteredChildren(node);
    const int childCount = filtered ? int(filtered->size()) : memo.childCount;
    const bool paged = filtered ? IsPagedElement(node.name(), childCount, gui.pageSize) : memo.paged;

    if (row.onNavPath)
        ImGui::SetNextItemOpen(true);
    else if (filtered) // the way down to a match opens by itself
        ImGui::SetNextItemOpen(true, ImGuiCond_Once);
    else if (OpensOnce(childCount, level))
        ImGui::SetNextItemOpen(true, ImGuiCond_Once);

    // A row reached with the keyboard shows its buttons as a hovered one does.
    if (row.visible && !GImGui->NavDisableHighlight && GImGui->NavWindow == ImGui::GetCurrentWindow() &&
        GImGui->NavId == ImGui::GetID(node.name()))
        row.hovered = true;
    if (row.onNavPath) {
        ImGui::PushStyleColor(ImGuiCol_Text, gui.highlightColor);
        ImGui::PushItemFlag(ImGuiItemFlags_Disabled, true);
    }
    const bool open = TreeNodeVerbatim(
        node.name(), ImGuiTreeNodeFlags_OpenOnArrow | ImGuiTreeNodeFlags_OpenOnDoubleClick |
                         ImGuiTreeNodeFlags_SpanAvailWidth | ImGuiTreeNodeFlags_AllowItemOverlap);
    if (row.onNavPath) {
        ImGui::PopItemFlag();
        ImGui::PopStyleColor();
    }

    // A closed row out of sight needs nothing more; most rows of a long tree are like that.
    if (!open && !row.visible)
        return;

    pugi::xml_node shortName = memo.shortName;
    const std::string path = node == topNode ? topPath
                             : shortName     ? ChildPath(parentPath, shortName.text().get())
                                             : parentPath;
    if (row.hovered) {
        gui.statusText = path;
        if (shortName)
            gui.hoveredElementPath = path;
    }

    if (row.visible)
        DrawElementDecorations(row, memo, path, siblingIndex, siblingCount);

    if (!open) {
        if (!isMain)
            HighlightButton(row, trail, path);
        return;
    }

    const ImGuiID pageId = ImHashStr("##page", 0, rowScope);
    int page = storage->GetInt(pageId, 1);
    if (row.onNavPath && navigationTarget.size() > navDepth + 1) {
        int position = PositionAmongChildren(node, navigationTarget[navDepth + 1]);
        if (position >= 0)
            page = PageOfPosition(position, gui.pageSize);
    }
    if (paged && childCount > gui.pageSize) {
        const int pages = PageCount(childCount, gui.pageSize);
        page = ClampPage(page, pages);
        if (row.visible)
            page = PageControls(page, pages);
        storage->SetInt(pageId, page);
    } else {
        page = 1;
    }

    if (!isMain && row.visible)
        HighlightButton(row, trail, path);

    // Children: attributes first, then the nodes of the current page.
    const int childSiblingCount = paged ? childCount : 0;
    const float guideX = row.labelX + gui.treeFramePadding.x + fontSize * 0.5f;
    const ImU32 guideColour = ImGui::GetColorU32(gui.guideLineColor);
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    float lastMiddle = -1;
    auto drawGuide = [&](const ImRect& child) {
        lastMiddle = child.GetCenter().y;
        if (ImGui::IsRectVisible(child.Min, child.Max))
            drawList->AddLine(ImVec2(guideX, lastMiddle),
                              ImVec2(child.Min.x + gui.treeFramePadding.x - 2, lastMiddle), guideColour,
                              1.0f);
    };

    int attributeIndex = 0;
    for (pugi::xml_attribute attribute = filtered ? pugi::xml_attribute() : node.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        --attributeIndex; // negative ids keep attributes apart from child nodes
        drawGuide(
            DrawNode(trail, attribute, attributeIndex, 0, path, childSiblingCount, navDepth + 1, level + 1));
    }
    const int first = paged ? (page - 1) * gui.pageSize : 0;
    const int last = paged ? std::min(childCount, page * gui.pageSize) : childCount;
    if (filtered) {
        for (int index = first; index < last; ++index)
            drawGuide(DrawNode(trail, (*filtered)[index], index, index, path, childSiblingCount, navDepth + 1,
                               level + 1));
    } else {
        pugi::xml_node child = paged ? PageStart(rowScope, node, page, gui.pageSize) : node.first_child();
        for (int index = first; index < last && child; ++index, child = child.next_sibling())
            drawGuide(DrawNode(trail, child, index, index, path, childSiblingCount, navDepth + 1, level + 1));
    }
    if (lastMiddle >= 0)
        drawList->AddLine(ImVec2(guideX, row.rect.Max.y), ImVec2(guideX, lastMiddle), guideColour, 1.0f);

    ImGui::TreePop();
}

void TreeDrawer::DrawElementDecorations(const Row& row, const NodeMemo& memo, const std::string& path,
                                        int siblingIndex, int siblingCount)
{
    if (siblingCount > 0) {
        ImGui::SameLine(0, 20);
        TextInColour(gui.mutedColor, SiblingLabel(siblingIndex, siblingCount));
    }
    if (memo.childCount == 0) {
        ImGui::SameLine(0, 20);
        TextInColour(gui.mutedColor, "(empty)");
    }

    if (memo.shortName) {
        ImGui::SameLine(0, 20);
        RowValue(gui.shortNameColor, std::string(Icon::Tag) + " ", memo.shortName.text().get(),
                 gui.mutedColor);

        Result<size_t> count = gui.state->CountRefsTo(path);
        if (count.status != ResultStatus::Done) {
            gui.ActionButton(row.hovered, Icon::Count, kIndexingTooltip, 4);
        } else {
            const std::string n = std::to_string(count.GetValue());
            const std::string label = std::string(Icon::Count) + " " + n;
            const std::string tooltip = RefCountTooltip(count.GetValue());
            if (count.GetValue() > 0) {
                if (gui.ActionButton(true, label, tooltip, 0))
                    gui.OpenRefsWindow(path);
            } else {
                gui.ActionButton(row.hovered, label, tooltip, 4);
            }
        }

        if (gui.bookmarks.count(path)) {
            if (gui.ActionButton(row.hovered, Icon::Bookmark, "Remove Bookmark", 3))
                gui.bookmarks.erase(path);
        } else if (gui.ActionButton(row.hovered, Icon::Bookmark, "Add Bookmark", 1)) {
            gui.bookmarks.insert(path);
        }
        if (gui.ActionButton(row.hovered, Icon::Open, "Open element in a new window", 1))
            gui.OpenElementWindow(path);
        if (gui.ActionButton(row.hovered, Icon::Copy, "Copy path to clipboard", 1))
            CopyToClipboard(path);
    }

    if (memo.text) {
        const char* t = memo.text.value();
        ImGui::SameLine(0, 20);
        if (IsReferenceText(t)) {
            RowValue(gui.referenceColor, std::string(Icon::Link) + " ", t, gui.mutedColor);
            OpenRefButton(row, t);
        } else if (std::string resolved = gui.state->ResolvedReference(memo.text.parent());
                   !resolved.empty()) {
            // Written relative to a base: shown as written, opened by the path it names.
            RowValue(gui.referenceColor, std::string(Icon::Link) + " ", t, gui.mutedColor);
            OpenRefButton(row, resolved);
        } else {
            RowValue(gui.textValueColor, std::string(Icon::Code) + " ", t, gui.mutedColor);
        }
        if (gui.ActionButton(row.hovered, Icon::Copy, "Copy inner text to clipboard", 0))
            CopyToClipboard(t);
    }
}

void TreeDrawer::OpenRefButton(const Row& row, const std::string& target)
{
    // By rectangle: the row's tree node takes the click as its own, so the text never counts
    // as clicked itself.
    const bool ctrlClickedText = ImGui::GetIO().KeyCtrl && ImGui::IsMouseClicked(ImGuiMouseButton_Left) &&
                                 ImGui::IsWindowHovered() &&
                                 ImGui::IsMouseHoveringRect(ImGui::GetItemRectMin(), ImGui::GetItemRectMax());
    Result<Ref> found = gui.state->FindRef(target);
    const std::string openLabel = std::string(Icon::Open) + " Open Ref";
    if (found.status == ResultStatus::Done) {
        ImGui::SameLine(0, 20);
        // Ctrl+click goes to the definition in the main tree instead of opening a window.
        if (ImGui::Button(openLabel.c_str())) {
            if (ImGui::GetIO().KeyCtrl)
                gui.Reveal(found.GetValue()->trail, target);
            else
                gui.OpenElementWindow(target);
        }
        if (gui.ActionButton(true, std::string(Icon::GoTo) + " Go to", "Go to the definition (Ctrl+click)",
                             1) ||
            ctrlClickedText)
            gui.Reveal(found.GetValue()->trail, target);
    } else if (found.status == ResultStatus::Pending) {
        gui.ActionButton(row.hovered, openLabel, kIndexingTooltip, 4);
    } else if (found.status == ResultStatus::Error) {
        gui.ActionButton(row.hovered, openLabel, found.message, 4);
    }
}

int TreeDrawer::PageControls(int page, int pages)
{
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

} // namespace

void Gui::DrawTree(std::string path, bool isMain, std::vector<TreeItem> trail, pugi::xml_node node,
                   std::vector<TreeItem> navigationTarget, const TreeFilterMatches* filter)
{
    UseMemoFor(state->document ? std::shared_ptr<const void>(state->document)
                               : std::shared_ptr<const void>(state->GetWorkspace()));
    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, treeFramePadding);
    TreeDrawer drawer(*this, isMain, navigationTarget, filter);
    if (path == "/" && node.type() == pugi::node_document) {
        trail.push_back(node);
        if (const std::vector<pugi::xml_node>* filtered = drawer.FilteredChildren(node)) {
            for (int i = 0; i < int(filtered->size()); ++i)
                drawer.DrawNode(trail, (*filtered)[i], i, i, "/", 0, 1, 0);
        } else if (filter) {
            ImGui::PushStyleColor(ImGuiCol_Text, mutedColor);
            ImGui::TextUnformatted("No element matches the filter.");
            ImGui::PopStyleColor();
        } else {
            int i = 0;
            for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling(), ++i)
                drawer.DrawNode(trail, child, i, i, "/", 0, 1, 0);
        }
    } else {
        const size_t navDepth = trail.size();
        drawer.SetTop(node, path);
        drawer.DrawNode(trail, node, 0, 0, ParentPath(path), 0, navDepth, 0);
    }
    ImGui::PopStyleVar();
}

bool Gui::ActionButton(bool visible, std::string label, std::string tooltip, int flags)
{
    if (!visible)
        return false;
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
