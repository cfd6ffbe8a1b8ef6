#pragma once

#include "concurrency/Reaper.h"
#include "lifecycle/State.h"
#include "model/TreeItem.h"
#include "settings/Settings.h"
#include "ui/AboutWindow.h"
#include "ui/BrokenRefsWindow.h"
#include "ui/ChangesWindow.h"
#include "ui/DialogChoices.h"
#include "ui/ElementWindows.h"
#include "ui/FindDialogs.h"
#include "ui/FullTextSearchWindow.h"
#include "ui/MainTree.h"
#include "ui/NavigationHistory.h"
#include "ui/NavigationRequests.h"
#include "ui/OtherVersionWindows.h"
#include "ui/RefsWindows.h"
#include "ui/SecondaryWindow.h"
#include "ui/TreeFilterBar.h"

#include <imgui.h>

#include <list>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class Comparison;
struct ComparedModels;
class Workspace;
class WindowHost;

// File name of the workspace file that holds `node`; empty when there is none.
std::string WorkspaceFileName(const Workspace& workspace, pugi::xml_node node);

// "1 match", "12 matches".
std::string MatchCount(size_t count);

// "RRGGBB" or "RRGGBBAA" to a colour with channels 0..1.
ImVec4 HexToColor(const std::string& hex);

// Backend key numbers of the shortcut letters and of F5. Letters are their upper-case ASCII codes
// in the usual backends; function keys have no common number, so the shell fills that one in.
struct ShortcutKeys
{
    int open = 'O';
    int find = 'F';
    int go = 'G';
    int bookmark = 'B';
    int reload = -1;
    int nextChange = -1; // F8; with Shift the previous one
};

// Everything the interface remembers between frames. One instance per process; main thread only.
class Gui
{
public:
    // Draws one frame; true when the program should end.
    bool DrawFrame();

    // Whether the last frame showed anything that changes without input (a highlight about to
    // vanish, a notice), so that the next frame is due at once.
    bool IsLive() const { return live; }
    // Whether all that moved on the last frame was a spinner or a progress bar (a state loading or
    // indexing, a search in progress): a few frames a second show that well enough and leave the
    // processor to the work they wait for.
    bool IsLiveSlowly() const { return liveSlowly; }

    void SetStatusTextIfHovered(std::string path);
    void AddRecentFile(std::string path);

    // Carries out what the windows asked for with `navigation` during the frame.
    void FollowNavigation();
    // Opens the main tree down to `trail` (an element at `path` or a node inside it) and records
    // the reveal so that Back and Forward return to it. Windows ask for it with `navigation`.
    void Reveal(std::vector<TreeItem> trail, std::string path);
    void GoBack();
    void GoForward();
    // Keyboard shortcuts and the mouse's back and forward buttons; run at the start of a frame.
    void HandleShortcuts();
    // The shortcuts that act on the whole program (open, find, back and forward...), in the
    // window whose context is current.
    void HandleCommandKeys();
    // Escape: closes the menus open in the current context first; true when there were none, so
    // that the focused window is to close.
    bool EscapeClosesWindow();
    void ChooseFileToOpen();
    void ChooseFolderToOpen();
    void ChooseFileToOpenInNewWindow();
    // "Compare With...": a file or folder to compare the open document with.
    void ChooseFileToCompare();
    void ChooseFolderToCompare();
    // Loads `path` beside the open document and compares the two; replaces any comparison.
    void CompareWith(std::string path);
    // F8 and Shift+F8: reveals the next (+1) or previous (-1) change in tree order.
    void StepChange(int direction);
    // Acts on what the open dialogs chose since the last frame.
    void OpenChosenPaths();
    void Reload();

    // Adds the bookmark of the element at `path`, made in the open file, or removes it.
    void ToggleBookmark(const std::string& path);
    // The file or folder a bookmark was made in when it is not the one open; else empty.
    std::string BookmarkElsewhere(const std::string& path) const;
    // Opens the file of a bookmark made elsewhere; its element is revealed once the file is shown.
    void OpenBookmark(const std::string& path);
    void RevealOpenedBookmark();

    // The selection of a result list stored under `key`, or -1 when it was made in an earlier
    // document: a new document starts with nothing selected and nothing previewed.
    int StoredSelection(ImGuiID key);
    // A new document is shown: its tree starts unfiltered and Back and Forward start afresh, but a
    // reload of the same file keeps both.
    void StartDocument();

    // A secondary window: Begin of the GUI library, or, with a window host, a window of the
    // desktop of its own whose context stays current until EndSecondaryWindow, which must follow
    // in either case. `open` turns false when the window was closed.
    bool BeginSecondaryWindow(const SecondaryWindowLook& look, bool* open);
    void EndSecondaryWindow();

    // Small button beside a tree row. Flags: 1 tight spacing, 2 highlighted, 4 disabled, 8 placed by
    // the caller (not after the last item).
    bool ActionButton(bool visible, std::string label, std::string tooltip, int flags);

    Reaper reaper; // frees replaced states off this thread; declared first, so it outlives `state`
    std::shared_ptr<State> state = std::make_shared<InitialState>();
    Settings settings; // bookmarks and recent files, persisted in conf.json
    std::set<std::string>& bookmarks = settings.bookmarks;
    std::list<std::string>& recentOpenFiles = settings.recentOpenFiles;
    NavigationRequests navigation; // what the windows ask of each other, carried out once a frame
    ElementWindows elementWindows;
    RefsWindows refsWindows;
    // Shared with the dialogs' threads, which may answer after this object is gone.
    std::shared_ptr<DialogChoices> dialogChoices = std::make_shared<DialogChoices>();
    MainTree tree;
    TreeFilterBar filterBar;
    struct
    {
        std::string file;
        std::string path;
    } bookmarkToReveal; // a bookmark whose file is being opened
    NavigationHistory history;
    std::shared_ptr<Comparison> comparison; // of the open document with another version, or null
    // This frame's finished comparison of the document shown, or null; owned by `comparison`.
    const ComparedModels* shownChanges = nullptr;
    int changeStep = -1; // index into the tree order of the change F8 revealed last
    ShortcutKeys keys;
    WindowHost* windowHost = nullptr; // null: secondary windows are drawn inside the main window
    // Name and size of the file being loaded, read once per loading state.
    size_t loadingLabelState = 0;
    std::string loadingLabel;
    std::string statusText;
    FindRefDialog findRef;
    FindShortnameDialog findShortname;
    FullTextSearchWindow findText;
    AboutWindow about;
    BrokenRefsWindow brokenRefs;
    ChangesWindow changes;
    OtherVersionWindows otherVersion; // elements of the version compared with
    bool showTooltips = true;
    bool keepRunning = true;
    int documentCount = 0;    // documents shown so far, each reload counted
    std::string documentPath; // the file or folder shown last
    bool live = true;
    bool liveSlowly = false;

    // Palette and tree constants.
    const ImVec4 mutedColor = HexToColor("ABB3BF");
    const ImVec4 leafLabelColor = HexToColor("ABB3BF");
    const ImVec4 successColor = HexToColor("238551");
    const ImVec4 errorColor = HexToColor("EB6847");
    const ImVec4 shortNameColor = HexToColor("68C1EE");
    const ImVec4 textValueColor = HexToColor("FBD065");
    const ImVec4 referenceColor = HexToColor("62D96B");
    const ImVec4 brokenReferenceColor = HexToColor("FF9980");
    const ImVec4 buttonHighlightColor = HexToColor("E5DE00");
    const ImVec4 highlightColor = HexToColor("165A36");
    const ImVec4 highlightHoverColor = HexToColor("1C6E42");
    const ImVec4 guideLineColor = HexToColor("5F6B7C");
    const ImVec4 addedColor = HexToColor("72CA9B");
    const ImVec4 removedColor = HexToColor("FA999C");
    const ImVec4 changedColor = HexToColor("FBB360");
    const ImVec4 movedColor = HexToColor("BDADFF");
    const ImVec2 treeFramePadding = ImVec2(8, 4);
    const float highlightDuration = 2.0f;
    const int pageSize = 20;

    // Menus and windows (one function each, called every frame).
    void MenuFile();
    void MenuNavigate();
    void MenuOptions();
    void MenuHelp();
    void HistoryButtons();
    void DrawStartScreen();
    void DrawStatusLine();
    // The tree of `node` (the document, or an element whose path is `path`), opened down to the
    // items of `navigationTarget` that lie below `node`.
    void DrawTree(const std::string& path, bool isMain, pugi::xml_node node,
                  const std::vector<TreeItem>& navigationTarget, const TreeFilterMatches* filter = nullptr);
    // The main tree of what `shown` holds: one file's document, or a row per file holding that
    // file's tree; `target` and `filter` as for DrawTree.
    void DrawWorkspaceTree(const State& shown, const std::vector<TreeItem>& target,
                           const TreeFilterMatches* filter);
    // Above an element window's tree: the changes placed on the element at `path`, old and new.
    void DrawElementChanges(const std::string& path);
    // Follows the comparison: drops it when another document is shown, sets `shownChanges`.
    void UpdateComparison();
};

// Marks the frame being drawn as live: something on it moves by itself, so the next frame must
// be drawn even when no input comes.
void KeepDrawing();
// Marks the frame as showing work in progress: the next frame is due soon, but not at once.
void KeepDrawingSlowly();

// Loading and status screens.
void PendingSpinner();
void LoadingSpinner(const ImVec4& colour);
// `what` (the file being read, say; one or more lines) is shown under "Loading..." when not empty.
void DrawLoadingScreen(const std::string& what = {});
void DrawErrorScreen(std::string message);
// The scrolling area under a window's bars, leaving a line for the status below; EndChild closes it.
void BeginScrollingRegion();

// Places text on the system clipboard; false when that failed.
bool CopyToClipboard(std::string text);
