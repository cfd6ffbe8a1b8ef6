#include "ui/Gui.h"

#include "platform/Platform.h"

#include <imgui_internal.h>

namespace {

bool Pressed(int key)
{
    return key >= 0 && ImGui::IsKeyPressed(key, false);
}

// The title of the window that has the keyboard focus (its top-level window), or null.
const char* FocusedWindowName()
{
    const ImGuiWindow* window = GImGui->NavWindow;
    return window ? window->RootWindow->Name : nullptr;
}

} // namespace

void Gui::ChooseFileToOpen()
{
    Platform::ShowOpenFileDialog(
        [choices = dialogChoices](const std::string& path) { choices->Post({path}); });
}

void Gui::ChooseFolderToOpen()
{
    Platform::ShowOpenFolderDialog(
        [choices = dialogChoices](const std::string& path) { choices->Post({path}); });
}

void Gui::ChooseFileToOpenInNewWindow()
{
    Platform::ShowOpenFileDialog([choices = dialogChoices](const std::string& path) {
        choices->Post({path, true});
    });
}

void Gui::ChooseFileToCompare()
{
    Platform::ShowOpenFileDialog([choices = dialogChoices](const std::string& path) {
        choices->Post({path, false, true});
    });
}

void Gui::ChooseFolderToCompare()
{
    Platform::ShowOpenFolderDialog([choices = dialogChoices](const std::string& path) {
        choices->Post({path, false, true});
    });
}

void Gui::OpenChosenPaths()
{
    for (DialogChoices::Choice& choice : dialogChoices->Take()) {
        if (choice.compare) {
            CompareWith(choice.path);
        } else if (choice.inNewWindow) {
            Platform::LaunchInstance(choice.path);
        } else {
            AddRecentFile(choice.path);
            state->OpenFile(choice.path);
        }
    }
}

void Gui::Reload()
{
    const std::string path = state->GetFilePath();
    if (!path.empty() && state->GetKind() != StateKind::Loading)
        state->OpenFile(path);
}

void Gui::Reveal(std::vector<TreeItem> trail, std::string path)
{
    history.Record(RevealEntry{std::move(path), trail, documentCount});
    tree.navigationTarget = std::move(trail);
}

namespace {
// The trail of a recorded reveal in the current document: kept as is while the document is the
// same, looked up by its path after another file (or the same one again) was opened.
void RevealAgain(Gui& gui, const RevealEntry* entry)
{
    if (!entry)
        return;
    if (entry->document == gui.documentCount) {
        gui.tree.navigationTarget = entry->trail;
        return;
    }
    Result<Ref> found = gui.state->FindRef(entry->path);
    if (found.status == ResultStatus::Done)
        gui.tree.navigationTarget = found.GetValue()->trail;
}
} // namespace

void Gui::GoBack()
{
    RevealAgain(*this, history.Back());
}

void Gui::GoForward()
{
    RevealAgain(*this, history.Forward());
}

void Gui::HandleCommandKeys()
{
    const ImGuiIO& io = ImGui::GetIO();
    const bool ctrl = io.KeyCtrl && !io.KeyAlt;
    if (ctrl && Pressed(keys.open))
        ChooseFileToOpen();
    if (ctrl && !io.KeyShift && Pressed(keys.find)) {
        findText.shown = true;
        findText.focus = true;
    }
    if (ctrl && Pressed(keys.go)) {
        (io.KeyShift ? findShortname.shown : findRef.shown) = true;
        (io.KeyShift ? findShortname.raise : findRef.raise) = true;
        ImGui::SetWindowFocus(io.KeyShift ? "Find Shortname" : "Find Ref");
    }
    if (ctrl && Pressed(keys.bookmark) && !tree.hoveredElementPath.empty())
        ToggleBookmark(tree.hoveredElementPath);
    if (!io.KeyCtrl && !io.KeyAlt && Pressed(keys.reload))
        Reload();
    if (!io.KeyCtrl && !io.KeyAlt && Pressed(keys.nextChange))
        StepChange(io.KeyShift ? -1 : 1);

    const bool alt = io.KeyAlt && !io.KeyCtrl;
    const bool altLeft = alt && Pressed(ImGui::GetKeyIndex(ImGuiKey_LeftArrow));
    const bool altRight = alt && Pressed(ImGui::GetKeyIndex(ImGuiKey_RightArrow));
    if (altLeft || ImGui::IsMouseClicked(3))
        GoBack();
    if (altRight || ImGui::IsMouseClicked(4))
        GoForward();
    if (altLeft || altRight) {
        // Alt let go would otherwise move the keyboard to the menu bar; it belongs in the tree.
        GImGui->NavWindowingToggleLayer = false;
        // Back and Forward, not a step left or right: the row with the keyboard focus, which the
        // reveal may just have opened, must not close.
        ImGui::NavMoveRequestCancel();
        GImGui->NavMoveDir = ImGuiDir_None;
        tree.focus = true;
    }
}

bool Gui::EscapeClosesWindow()
{
    if (!Pressed(ImGui::GetKeyIndex(ImGuiKey_Escape)))
        return false;
    // Escape first closes open menus, and only then the focused window.
    if (GImGui->OpenPopupStack.Size > 0) {
        ImGui::ClosePopupToLevel(0, true);
        return false;
    }
    return true;
}

void Gui::HandleShortcuts()
{
    HandleCommandKeys();
    if (!EscapeClosesWindow())
        return;
    const char* focused = FocusedWindowName();
    if (!focused)
        return;
    const std::string name = focused;
    if (name == "Full-Text Search")
        findText.shown = false;
    else if (name == "Find Ref")
        findRef.shown = false;
    else if (name == "Find Shortname")
        findShortname.shown = false;
    else if (name == "Broken References")
        brokenRefs.shown = false;
    else if (name == "Changes")
        changes.shown = false;
    else if (name == "About")
        about.shown = false;
    std::erase_if(refsWindows.entries,
                  [&](const WindowEntry& entry) { return name == entry.Name("Refs to "); });
    std::erase_if(elementWindows.entries, [&](const WindowEntry& entry) { return name == entry.Name(); });
}
