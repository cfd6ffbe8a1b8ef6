#include "ui/Gui.h"
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

struct FindButtonPresses
{
    bool openWindow = false;
    bool reveal = false;
};

// The two buttons at the inner right edge, inert until the answer is final.
FindButtonPresses DrawFindButtons(const Result<Ref>& result, const char* revealLabel,
                                  const ImVec4& mutedColor)
{
    const bool done = result.status == ResultStatus::Done;
    if (!done) {
        ImGui::PushStyleColor(ImGuiCol_Text, mutedColor);
        ImGui::PushItemFlag(ImGuiItemFlags_Disabled, true);
    }
    const ImGuiStyle& style = ImGui::GetStyle();
    const char* openLabel = "Open in new window";
    const float width = ImGui::CalcTextSize(openLabel).x + ImGui::CalcTextSize(revealLabel).x +
                        4 * style.FramePadding.x + style.ItemSpacing.x + style.WindowPadding.x;
    ImGui::SameLine(ImGui::GetWindowWidth() - width);
    FindButtonPresses presses;
    presses.openWindow = ImGui::Button(openLabel) && done;
    ImGui::SameLine();
    presses.reveal = ImGui::Button(revealLabel) && done;
    if (!done) {
        ImGui::PopItemFlag();
        ImGui::PopStyleColor();
    }
    return presses;
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
    const FindButtonPresses presses = DrawFindButtons(result, "Jump to Ref", mutedColor);
    if (presses.openWindow)
        OpenElementWindow(path);
    if (presses.reveal)
        navigationTarget = result.GetValue()->trail;
    ImGui::End();
}

void Gui::DrawFindShortnameDialog(bool* open)
{
    if (!BeginFindDialog("Find Shortname", "Please enter a shortname:", open, shortnameInput,
                         sizeof shortnameInput))
        return;
    const Result<Ref> result = state->FindShortName(shortnameInput);
    DrawFindStatus(result, result.message, errorColor);
    const FindButtonPresses presses = DrawFindButtons(result, "Show in main window", mutedColor);
    if (presses.openWindow)
        OpenElementWindow(result.GetValue()->path);
    if (presses.reveal)
        navigationTarget = result.GetValue()->trail;
    ImGui::End();
}
