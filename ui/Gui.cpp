#include "ui/Gui.h"
#include "ui/DocumentLabels.h"

#include "model/Workspace.h"
#include "query/ChangeMarks.h"

#include <cctype>

namespace {

// Two hex digits starting at `at`; 0 when they are missing or not hex.
int HexField(const std::string& hex, size_t at)
{
    if (at + 2 > hex.size() || !std::isxdigit((unsigned char)hex[at]) ||
        !std::isxdigit((unsigned char)hex[at + 1]))
        return 0;
    return std::stoi(hex.substr(at, 2), nullptr, 16);
}

bool frameIsLive = false;
bool frameIsLiveSlowly = false;

// What the tree's nodes point into: the document, or the workspace of several.
const void* ShownContent(const State& state)
{
    return state.document ? static_cast<const void*>(state.document.get())
                          : static_cast<const void*>(state.GetWorkspace().get());
}

} // namespace

void BeginScrollingRegion()
{
    const ImGuiStyle& style = ImGui::GetStyle();
    float height = ImGui::GetContentRegionAvail().y - (ImGui::GetFontSize() + style.WindowPadding.y);
    ImGui::BeginChild("ScrollingRegion", ImVec2(0, height), false, ImGuiWindowFlags_HorizontalScrollbar);
}

void KeepDrawing()
{
    frameIsLive = true;
}

void KeepDrawingSlowly()
{
    frameIsLiveSlowly = true;
}

ImVec4 HexToColor(const std::string& hex)
{
    const float factor = 0.003921569f; // 1/255
    int alpha = hex.size() == 8 ? HexField(hex, 6) : 255;
    return ImVec4(HexField(hex, 0) * factor, HexField(hex, 2) * factor, HexField(hex, 4) * factor,
                  alpha * factor);
}

void Gui::FollowNavigation()
{
    for (NavigationRequests::Request& request : navigation.Take()) {
        switch (request.kind) {
            case NavigationRequests::Kind::GoTo: {
                std::optional<TreeItem> unrecorded;
                if (request.lastStepUnrecorded && !request.trail.empty()) {
                    unrecorded = request.trail.back();
                    request.trail.pop_back();
                }
                Reveal(std::move(request.trail), std::move(request.target.path));
                if (unrecorded)
                    tree.navigationTarget.push_back(*unrecorded);
                break;
            }
            case NavigationRequests::Kind::OpenElementWindow:
                // An element only the compared version has is shown in a window on that version.
                if (shownChanges && state->FindRef(request.target.path).status == ResultStatus::Error &&
                    shownChanges->newModel->FindPath(request.target.path))
                    otherVersion.Open(std::move(request.target.path));
                else
                    elementWindows.entries.push_back(std::move(request.target));
                break;
            case NavigationRequests::Kind::OpenRefsWindow:
                refsWindows.entries.push_back(std::move(request.target));
                break;
        }
        KeepDrawing(); // what was asked for shows on the next frame
    }
}

void Gui::StartDocument()
{
    ++documentCount;
    if (state->GetFilePath() == documentPath)
        return;
    documentPath = state->GetFilePath();
    filterBar.Clear(reaper);
    history = NavigationHistory();
}

int Gui::StoredSelection(ImGuiID key)
{
    ImGuiStorage* storage = ImGui::GetStateStorage();
    ImGui::PushID(static_cast<int>(key));
    const ImGuiID documentKey = ImGui::GetID("document");
    ImGui::PopID();
    if (storage->GetInt(documentKey, 0) != documentCount) {
        storage->SetInt(documentKey, documentCount);
        storage->SetInt(key, -1);
    }
    return storage->GetInt(key, -1);
}

void Gui::SetStatusTextIfHovered(std::string path)
{
    if (ImGui::IsItemHovered())
        statusText = std::move(path);
}

void Gui::AddRecentFile(std::string path)
{
    ::AddRecentFile(recentOpenFiles, path);
    settings.openedFiles.insert(std::move(path));
}

bool Gui::DrawFrame()
{
    // Only compared, never used: the old document is the reaper's to free.
    const void* previousContent = ShownContent(*state);
    OpenChosenPaths();
    AdvanceState(state, reaper);
    // A target or filter answer left by the last frame points into the old document's nodes.
    if (ShownContent(*state) != previousContent) {
        tree.navigationTarget.clear();
        filterBar.DropShown(reaper);
        if (ShownContent(*state))
            StartDocument();
    }
    UpdateComparison();
    RevealOpenedBookmark();
    HandleShortcuts();
    tree.hoveredElementPath.clear();
    statusText.clear();
    frameIsLive = false;
    frameIsLiveSlowly = state->GetKind() == StateKind::Loading || state->GetKind() == StateKind::Indexing;

    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(viewport->Pos);
    ImGui::SetNextWindowSize(viewport->Size);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, 0.0f);
    // The tree fills the whole window: brought to the front by a click, it would hide every result
    // window while their menu entries still showed them as open.
    ImGui::Begin("XML Tree View", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoScrollbar |
                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_MenuBar | ImGuiWindowFlags_NoBringToFrontOnFocus);
    ImGui::PopStyleVar(3);

    if (ImGui::BeginMenuBar()) {
        MenuFile();
        MenuNavigate();
        MenuOptions();
        MenuHelp();
        HistoryButtons();
        ImGui::EndMenuBar();
    }

    // A reveal shows the whole tree: the target may lie outside the filter's matches.
    if (!tree.navigationTarget.empty()) {
        filterBar.Clear(reaper);
        // The changed rows stay alone when the target is one of them (F8, the Changes window).
        const auto* node = std::get_if<pugi::xml_node>(&tree.navigationTarget.back());
        filterBar.changedOnly = filterBar.changedOnly && shownChanges && node &&
                                shownChanges->changedOnly.matches.count(node->internal_object());
    }
    const bool documentShown =
        (state->GetKind() == StateKind::Indexing || state->GetKind() == StateKind::Ready) &&
        (state->document || state->GetWorkspace());
    const TreeFilterMatches* filterMatches = documentShown ? filterBar.Draw(*this) : nullptr;

    if (state->GetKind() != StateKind::Loading)
        loadingLabel.clear(); // read again next time: the file may have changed
    BeginScrollingRegion();
    if (tree.focus) {
        ImGui::SetWindowFocus();
        tree.focus = false;
    }
    switch (state->GetKind()) {
        case StateKind::Initial:
            DrawStartScreen();
            break;
        case StateKind::Loading:
            if (const WorkspaceProgress* progress = state->GetWorkspaceProgress()) {
                DrawLoadingScreen(FolderLoadingLines(state->filePath, *progress)); // changes as files load
                break;
            }
            if (loadingLabelState != state->id || loadingLabel.empty()) {
                loadingLabelState = state->id;
                loadingLabel = FileNameAndSize(state->filePath);
            }
            DrawLoadingScreen(loadingLabel);
            break;
        case StateKind::Error:
            DrawErrorScreen(state->GetErrorMessage());
            break;
        case StateKind::Indexing:
        case StateKind::Ready:
            tree.Draw(*this, filterMatches);
            break;
    }
    ImGui::EndChild();
    ImGui::Separator();
    DrawStatusLine();
    ImGui::End();

    findText.Draw(*this);
    brokenRefs.Draw(*this);
    changes.Draw(*this);
    otherVersion.Draw(*this);

    refsWindows.Draw(*this);
    elementWindows.Draw(*this);
    // Once every window has drawn: what they asked for shows on the next frame, whoever asked.
    FollowNavigation();

    // A focused text field shows a steady cursor (the shell turns blinking off): nothing to redraw.
    live = frameIsLive;
    liveSlowly = frameIsLiveSlowly && !frameIsLive;
    return !keepRunning;
}
