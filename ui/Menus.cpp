#include "lifecycle/Comparison.h"
#include "ui/About.h"
#include "ui/DocumentLabels.h"
#include "ui/Gui.h"
#include "ui/TreePaths.h"

#include "model/Workspace.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

// A menu item whose label is drawn exactly as given: file and element paths may hold "##" or "%",
// which ImGui's own labels would hide or interpret. The caller pushes an id per item.
bool VerbatimMenuItem(const std::string& text, bool enabled)
{
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    const ImVec2 position = ImGui::GetCursorScreenPos();
    // As wide as its text, so that the menu grows to fit it, and as the menu, as menu items are.
    const float width = std::max(ImGui::CalcTextSize(begin, end, false).x, ImGui::GetContentRegionAvail().x);
    const bool pressed = ImGui::Selectable(
        "##item", false, enabled ? ImGuiSelectableFlags_None : ImGuiSelectableFlags_Disabled,
        ImVec2(width, 0));
    ImGui::GetWindowDrawList()->AddText(
        position, ImGui::GetColorU32(enabled ? ImGuiCol_Text : ImGuiCol_TextDisabled), begin, end);
    return pressed;
}

// The width a submenu of the menu being drawn may have and still stand beside it, on its wider
// side, as the GUI library measures when it places the submenu; wider, it is laid over the menu.
float RoomBesideMenu()
{
    const ImGuiStyle& style = ImGui::GetStyle();
    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    const float overlap = style.ItemInnerSpacing.x; // submenus overlap their menu by this much
    const float menuLeft = ImGui::GetWindowPos().x;
    const float menuRight = menuLeft + ImGui::GetWindowWidth();
    const float left = menuLeft + overlap - (viewport->Pos.x + style.DisplaySafeAreaPadding.x);
    const float right =
        viewport->Pos.x + viewport->Size.x - style.DisplaySafeAreaPadding.x - (menuRight - overlap);
    return std::floor(std::max(left, right)) - 1;
}

void TextInColour(const ImVec4& colour, const char* text)
{
    ImGui::PushStyleColor(ImGuiCol_Text, colour);
    ImGui::TextUnformatted(text);
    ImGui::PopStyleColor();
}

} // namespace

void Gui::MenuFile()
{
    if (!ImGui::BeginMenu("File"))
        return;
    if (ImGui::MenuItem("New Window"))
        Platform::LaunchInstance("");
    if (ImGui::MenuItem("Open File...", "Ctrl+O"))
        ChooseFileToOpen();
    if (ImGui::MenuItem("Open Folder..."))
        ChooseFolderToOpen();
    if (ImGui::MenuItem("Open File in New Window..."))
        ChooseFileToOpenInNewWindow();
    if (ImGui::BeginMenu("Open Recent", !recentOpenFiles.empty())) {
        // The list is reordered only after the loop that walks it.
        std::string chosen;
        int n = 0;
        for (const std::string& path : recentOpenFiles) {
            ImGui::PushID(n++);
            if (VerbatimMenuItem(path, true))
                chosen = path;
            ImGui::PopID();
        }
        if (!chosen.empty()) {
            AddRecentFile(chosen);
            state->OpenFile(chosen);
        }
        if (!recentOpenFiles.empty()) {
            ImGui::Separator();
            if (ImGui::MenuItem("Clear Recent Files"))
                recentOpenFiles.clear();
        }
        ImGui::EndMenu();
    }
    const bool opened = !state->GetFilePath().empty();
    if (ImGui::MenuItem("Compare With...", nullptr, false, opened))
        ChooseFileToCompare();
    if (ImGui::MenuItem("Compare With Folder...", nullptr, false, opened))
        ChooseFolderToCompare();
    if (ImGui::MenuItem("Reload", "F5", false, opened))
        Reload();
    if (ImGui::MenuItem("Exit"))
        keepRunning = false;
    ImGui::EndMenu();
}

void Gui::MenuNavigate()
{
    findRef.Draw(*this);
    findShortname.Draw(*this);

    if (!ImGui::BeginMenu("Navigate"))
        return;
    if (ImGui::MenuItem("Find Text...", "Ctrl+F", findText.shown))
        findText.shown = !findText.shown;
    if (ImGui::MenuItem("Find Ref...", "Ctrl+G", findRef.shown))
        findRef.shown = !findRef.shown;
    if (ImGui::MenuItem("Find Shortname...", "Ctrl+Shift+G", findShortname.shown))
        findShortname.shown = !findShortname.shown;

    // Beside the menu, never over it: no wider than the room on the menu's wider side; a path too
    // long for that is shown by its end, and whole in its tooltip.
    const float room = RoomBesideMenu();
    const float fontSize = ImGui::GetFontSize();
    const bool fits = room > 12 * fontSize;
    if (fits)
        ImGui::SetNextWindowSizeConstraints(ImVec2(0, 0), ImVec2(room, FLT_MAX));
    if (ImGui::BeginMenu("Bookmarks", !bookmarks.empty())) {
        const float textRoom = room - 3 * fontSize - 2 * ImGui::GetStyle().WindowPadding.x;
        std::vector<TreeItem> chosen;
        std::string chosenPath;
        std::string toOpen;
        int n = 0;
        for (const std::string& path : bookmarks) {
            // Made in another file or folder: choosing it opens that first.
            const std::string file = BookmarkElsewhere(path);
            Result<Ref> target = file.empty() ? state->FindRef(path) : Result<Ref>();
            if (file.empty() &&
                (target.status == ResultStatus::Empty || target.status == ResultStatus::Partial))
                continue;
            ImGui::PushID(n++);
            if (!file.empty())
                TextInColour(mutedColor, Icon::Open);
            else if (target.status == ResultStatus::Pending)
                PendingSpinner();
            else if (target.status == ResultStatus::Error)
                TextInColour(mutedColor, Icon::Cross);
            else
                TextInColour(successColor, Icon::Check);
            ImGui::SameLine(3 * fontSize);
            const std::string label = file.empty() ? path : path + "   (" + DocumentName(file) + ")";
            const std::string shown =
                fits ? TruncateFront(
                           label, textRoom,
                           [](std::string_view text) {
                               return ImGui::CalcTextSize(text.data(), text.data() + text.size(), false).x;
                           })
                     : label;
            const bool enabled = !file.empty() || target.status == ResultStatus::Done;
            if (VerbatimMenuItem(shown, enabled)) {
                if (!file.empty()) {
                    toOpen = path;
                } else {
                    chosen = target.GetValue()->trail;
                    chosenPath = path;
                }
            }
            if (showTooltips && (shown != label || !file.empty()) &&
                ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) {
                ImGui::BeginTooltip();
                ImGui::TextUnformatted(path.c_str(), path.c_str() + path.size());
                if (!file.empty()) {
                    const std::string opens = "Opens " + file;
                    ImGui::TextUnformatted(opens.c_str(), opens.c_str() + opens.size());
                }
                ImGui::EndTooltip();
            }
            ImGui::PopID();
        }
        if (!chosen.empty())
            navigation.GoTo(std::move(chosen), std::move(chosenPath));
        if (!toOpen.empty())
            OpenBookmark(toOpen);
        ImGui::EndMenu();
    }
    if (ImGui::MenuItem("Broken References...", nullptr, brokenRefs.shown))
        brokenRefs.shown = !brokenRefs.shown;
    if (ImGui::MenuItem("Changes...", nullptr, changes.shown, comparison != nullptr))
        changes.shown = !changes.shown;
    if (ImGui::MenuItem("Back", "Alt+Left", false, history.CanGoBack()))
        GoBack();
    if (ImGui::MenuItem("Forward", "Alt+Right", false, history.CanGoForward()))
        GoForward();
    ImGui::EndMenu();
}

void Gui::HistoryButtons()
{
    const bool canGoBack = history.CanGoBack();
    const bool canGoForward = history.CanGoForward();
    const struct
    {
        const char* label;
        const char* tooltip;
        bool enabled;
        void (Gui::*go)();
    } buttons[] = {{Icon::Back, "Back (Alt+Left)", canGoBack, &Gui::GoBack},
                   {Icon::Forward, "Forward (Alt+Right)", canGoForward, &Gui::GoForward}};
    for (const auto& button : buttons) {
        ImGui::PushStyleVar(ImGuiStyleVar_DisabledAlpha, 0.5f);
        ImGui::BeginDisabled(!button.enabled);
        const bool pressed = ImGui::MenuItem(button.label);
        ImGui::EndDisabled();
        ImGui::PopStyleVar();
        if (showTooltips && ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled))
            ImGui::SetTooltip("%s", button.tooltip);
        if (pressed && button.enabled)
            (this->*button.go)();
    }
}

void Gui::MenuOptions()
{
    if (!ImGui::BeginMenu("Options"))
        return;
    if (ImGui::MenuItem("Show Tooltips", nullptr, showTooltips))
        showTooltips = !showTooltips;
    ImGui::EndMenu();
}

void Gui::MenuHelp()
{
    about.Draw(*this);

    if (!ImGui::BeginMenu("Help"))
        return;
    if (ImGui::MenuItem("About", nullptr, about.shown))
        about.shown = !about.shown;
    ImGui::EndMenu();
}

void Gui::DrawStatusLine()
{
    const StateKind kind = state->GetKind();
    if (kind == StateKind::Initial) {
        ImGui::PushStyleColor(ImGuiCol_Text, mutedColor);
        ImGui::Text("Tessaro %s, %s", About::kVersion, About::kLicenceName);
        ImGui::PopStyleColor();
        return;
    }

    const float fontSize = ImGui::GetFontSize();
    const float lineWidth = ImGui::GetWindowContentRegionMax().x;
    std::string comparing; // what a comparison still waits for, or why it failed
    bool compareFailed = false;
    if (comparison && !shownChanges) {
        const Result<std::shared_ptr<const ComparedModels>> compared = comparison->Poll();
        if (compared.status == ResultStatus::Pending) {
            comparing = comparison->Progress();
            KeepDrawingSlowly();
        } else if (compared.status == ResultStatus::Error) {
            // Also when the Changes window, which says so too, is closed or out of sight.
            comparing = "Could not compare: " + compared.message;
            compareFailed = true;
        }
    }
    const char* label = kind == StateKind::Loading    ? "Loading"
                        : kind == StateKind::Indexing ? "Indexing"
                                                      : comparing.c_str();
    const bool spinner = *label && !(compareFailed && label == comparing.c_str());
    const float labelWidth =
        *label ? ImGui::CalcTextSize(label).x + (spinner ? 1.5f * fontSize : 0.5f * fontSize) : 0.0f;
    std::string filesLoaded;
    if (std::shared_ptr<const Workspace> workspace = state->GetWorkspace();
        workspace && workspace->IsFolder())
        filesLoaded = FilesLoadedText(workspace->LoadedCount(), workspace->Files().size());
    const float filesWidth =
        filesLoaded.empty() ? 0.0f : ImGui::CalcTextSize(filesLoaded.c_str()).x + fontSize;
    const std::string shown =
        TruncateFront(statusText, lineWidth - labelWidth - filesWidth - 10, [](std::string_view text) {
            return ImGui::CalcTextSize(text.data(), text.data() + text.size(), false).x;
        });
    ImGui::TextUnformatted(shown.c_str(), shown.c_str() + shown.size());
    if (!filesLoaded.empty()) {
        ImGui::SameLine(lineWidth - filesWidth + fontSize);
        ImGui::TextUnformatted(filesLoaded.c_str());
    }
    if (*label && !spinner) {
        ImGui::SameLine(lineWidth - labelWidth + 0.5f * fontSize);
        ImGui::TextColored(errorColor, "%s", label);
    } else if (*label) {
        ImGui::SameLine(lineWidth - labelWidth);
        PendingSpinner();
        ImGui::SameLine(lineWidth - labelWidth + 1.5f * fontSize);
        ImGui::TextUnformatted(label);
    }
}
