#include "ui/Gui.h"
#include "ui/ResultListView.h"
#include "ui/SearchWindowsText.h"

#include <imgui_internal.h>

namespace {
// Kept for the whole process, so reopening a dialog shows the text typed last time.
char refInput[4096] = "";
char shortnameInput[4096] = "";

int IgnoreEdit(ImGuiInputTextCallbackData*)
{
    return 0;
}

// Window, prompt and input field. False when the window draws nothing this frame (already ended).
bool BeginFindDialog(const char* title, const char* prompt, bool* open, char* buffer, size_t capacity)
{
    const float font = ImGui::GetFontSize();
    ImGui::SetNextWindowSize(ImVec2(42 * font, 12.5f * font), ImGuiCond_Always);
    if (!ImGui::Begin(title, open, ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoSavedSettings)) {
        ImGui::End();
        return false;
    }
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(prompt);
    ImGui::PushItemWidth(-1);
    if (ImGui::IsWindowAppearing())
        ImGui::SetKeyboardFocusHere();
    ImGui::InputText("##RefInput", buffer, capacity, ImGuiInputTextFlags_CallbackEdit, IgnoreEdit);
    ImGui::PopItemWidth();
    return true;
}

// One empty line below the field, then the spinner or the error on the line shared with the buttons.
void DrawFindStatus(const Result<Ref>& result, const std::string& errorText, const ImVec4& errorColor)
{
    ImGui::NewLine();
    ImGui::NewLine();
    ImGui::SameLine();
    if (result.status == ResultStatus::Pending) {
        PendingSpinner();
    } else if (result.status == ResultStatus::Error) {
        ImGui::PushStyleColor(ImGuiCol_Text, errorColor);
        ImGui::TextUnformatted(errorText.c_str());
        ImGui::PopStyleColor();
    }
}

// The two buttons end at the inner right edge of the window, inert until the answer is final.
ResultButtonPresses DrawFindButtons(const Result<Ref>& result, const char* revealLabel,
                                    const ImVec4& mutedColor)
{
    const float rightEdge = ImGui::GetWindowWidth() - ImGui::GetStyle().WindowPadding.x;
    return DrawResultButtons(result.status == ResultStatus::Done, mutedColor, revealLabel, rightEdge);
}
// Enter in the dialog acts as the button that shows the answer in the main window.
bool EnterPressed(const Result<Ref>& result)
{
    return result.status == ResultStatus::Done &&
           ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) &&
           ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false);
}
} // namespace

void Gui::DrawFindRefDialog(bool* open)
{
    if (!BeginFindDialog("Find Ref", "Please enter a reference:", open, refInput, sizeof refInput))
        return;
    const std::string path = NormaliseRefInput(refInput);
    const Result<Ref> result = state->FindRef(path);
    // Whatever the reason (not found, invalid, no document), the user is told the same.
    DrawFindStatus(result, "Could not find the ref.", errorColor);
    const ResultButtonPresses presses = DrawFindButtons(result, "Jump to Ref", mutedColor);
    if (presses.openWindow)
        OpenElementWindow(path);
    if (presses.showInMain || EnterPressed(result))
        Reveal(result.GetValue()->trail, path);
    ImGui::End();
}

void Gui::DrawFindShortnameDialog(bool* open)
{
    if (!BeginFindDialog("Find Shortname", "Please enter a shortname:", open, shortnameInput,
                         sizeof shortnameInput))
        return;
    const Result<Ref> result = state->FindShortName(shortnameInput);
    DrawFindStatus(result, result.message, errorColor);
    const ResultButtonPresses presses = DrawFindButtons(result, "Show in main window", mutedColor);
    if (presses.openWindow)
        OpenElementWindow(result.GetValue()->path);
    if (presses.showInMain || EnterPressed(result))
        Reveal(result.GetValue()->trail, result.GetValue()->path);
    ImGui::End();
}
