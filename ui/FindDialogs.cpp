#include "ui/FindDialogs.h"
#include "ui/Gui.h"
#include "ui/ResultListView.h"
#include "ui/SearchWindowsText.h"

#include <optional>
#include <string>
#include <utility>

namespace {
int IgnoreEdit(ImGuiInputTextCallbackData*)
{
    return 0;
}

// Tab in the reference field: the next piece of the element paths that begin with the text.
int CompleteRef(ImGuiInputTextCallbackData* data)
{
    if (data->EventFlag != ImGuiInputTextFlags_CallbackCompletion)
        return 0;
    State& state = *static_cast<State*>(data->UserData);
    const Result<std::string> completed = state.CompleteRefPath(NormaliseRefInput(data->Buf));
    if (completed.status == ResultStatus::Done && completed.GetValue() != data->Buf) {
        data->DeleteChars(0, data->BufTextLen);
        data->InsertChars(0, completed.GetValue().c_str());
    }
    return 0;
}

// Window, prompt and input field. False when the window draws nothing this frame (already ended).
// `state`, when given, completes the field's text as a reference path on Tab.
bool BeginFindDialog(Gui& gui, const char* title, const char* prompt, bool* open, bool& raise, char* buffer,
                     size_t capacity, float extraHeight = 0, State* state = nullptr)
{
    const float font = ImGui::GetFontSize();
    SecondaryWindowLook look{title, title, ImVec2(42 * font, 12.5f * font + extraHeight)};
    look.raise = std::exchange(raise, false);
    look.resizable = false;
    look.besideMiddle = true;
    look.flags = ImGuiWindowFlags_NoSavedSettings;
    if (!gui.BeginSecondaryWindow(look, open)) {
        gui.EndSecondaryWindow();
        return false;
    }
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(prompt);
    ImGui::PushItemWidth(-1);
    if (ImGui::IsWindowAppearing())
        ImGui::SetKeyboardFocusHere();
    if (state)
        ImGui::InputText("##RefInput", buffer, capacity, ImGuiInputTextFlags_CallbackCompletion, CompleteRef,
                         state);
    else
        ImGui::InputText("##RefInput", buffer, capacity, ImGuiInputTextFlags_CallbackEdit, IgnoreEdit);
    ImGui::PopItemWidth();
    return true;
}

// One empty line below the field, then the spinner or one message on the line shared with the
// buttons.
void DrawFindStatus(bool spinner, const std::string& message, const ImVec4& colour)
{
    ImGui::NewLine();
    ImGui::NewLine();
    ImGui::SameLine();
    if (spinner) {
        PendingSpinner();
    } else if (!message.empty()) {
        ImGui::PushStyleColor(ImGuiCol_Text, colour);
        ImGui::TextUnformatted(message.c_str(), message.c_str() + message.size());
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
bool EnterPressed()
{
    return ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) &&
           ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false);
}

// Enter in the dialog acts as the button that shows the answer in the main window.
bool EnterPressed(const Result<Ref>& result)
{
    return result.status == ResultStatus::Done && EnterPressed();
}
} // namespace

void FindRefDialog::Draw(Gui& gui)
{
    if (!shown)
        return;
    if (!BeginFindDialog(gui, "Find Ref", "Please enter a reference:", &shown, raise, input, sizeof input, 0,
                         gui.state.get()))
        return;
    const std::string path = NormaliseRefInput(input);
    const Result<Ref> result = gui.state->FindRef(path);
    gui.state->CompleteRefPath(path); // gathers the paths for Tab before it is pressed
    if (EnterPressed())
        entered = input;
    // Whatever the reason (not found, invalid, no document), the user is told the same, but only
    // once Enter asked for that text: not while it is still being typed.
    const bool failed = result.status == ResultStatus::Error && entered && *entered == input;
    DrawFindStatus(result.status == ResultStatus::Pending, failed ? "Could not find the ref." : "",
                   gui.errorColor);
    const ResultButtonPresses presses = DrawFindButtons(result, "Jump to Ref", gui.mutedColor);
    if (presses.openWindow)
        gui.navigation.OpenElementWindow(path);
    if (presses.showInMain || EnterPressed(result))
        gui.navigation.GoTo(result.GetValue()->trail, path);
    gui.EndSecondaryWindow();
}

namespace {
using PartMatches = FindShortnameDialog::PartMatches;

constexpr int kPartRowsShown = 8;

float PartListHeight()
{
    return kPartRowsShown * ImGui::GetTextLineHeightWithSpacing() + 2 * ImGui::GetStyle().FramePadding.y;
}

// The listed element the user selected, as a found answer; empty when none is.
Result<Ref> SelectedPart(const Result<TreeFilterMatches>& parts, const PartMatches& partMatches)
{
    if (parts.status != ResultStatus::Done || partMatches.selected < 0 ||
        size_t(partMatches.selected) >= parts.value->listed.size())
        return {};
    const auto& [path, node] = parts.value->listed[partMatches.selected];
    return Result<Ref>::Value(Ref(node, path));
}

// Below the buttons: how many elements match, and the first of them with their paths; a click
// on one goes to it. True when a row was clicked.
bool DrawPartMatches(const Result<TreeFilterMatches>& parts, bool exact, PartMatches& partMatches)
{
    ImGui::AlignTextToFramePadding();
    if (parts.status != ResultStatus::Done) {
        PendingSpinner();
        return false;
    }
    const TreeFilterMatches& found = *parts.value;
    const char* verb = found.matchCount == 1 ? " element has" : " elements have";
    std::string count = GroupThousands(found.matchCount) + verb +
                        (exact ? " this short name" : " the text in its short name");
    if (found.matchCount > found.listed.size())
        count += "; the first " + std::to_string(found.listed.size()) + " are listed";
    ImGui::TextUnformatted(count.c_str());
    if (!ImGui::BeginListBox("##Parts", ImVec2(-1, PartListHeight())))
        return false;
    const int selected = exact && partMatches.selected < 0 ? 0 : partMatches.selected;
    bool clicked = false;
    ImGuiListClipper clipper;
    clipper.Begin(static_cast<int>(found.listed.size()), ImGui::GetTextLineHeightWithSpacing());
    while (clipper.Step()) {
        for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
            ImGui::PushID(i);
            // Paths are drawn verbatim: "##" or "%" in a short name must not change the label.
            const std::string& path = found.listed[i].first;
            const ImVec2 at = ImGui::GetCursorScreenPos();
            if (ImGui::Selectable("##part", selected == i)) {
                partMatches.selected = i;
                clicked = true;
            }
            ImGui::GetWindowDrawList()->AddText(at, ImGui::GetColorU32(ImGuiCol_Text), path.c_str(),
                                                path.c_str() + path.size());
            ImGui::PopID();
        }
    }
    ImGui::EndListBox();
    return clicked;
}
} // namespace

void FindShortnameDialog::Draw(Gui& gui)
{
    if (!shown)
        return;
    // Sized by what the last frame showed: the list appears one frame after the answer.
    const float extra = partMatches.shown ? PartListHeight() + ImGui::GetFrameHeightWithSpacing() +
                                                ImGui::GetStyle().ItemSpacing.y
                                          : 0.0f;
    if (!BeginFindDialog(gui, "Find Shortname", "Please enter a shortname:", &shown, raise, input,
                         sizeof input, extra))
        return;
    const Result<Ref> exact = gui.state->FindShortName(input);
    if (partMatches.text != input) {
        partMatches.text = input;
        partMatches.selected = -1;
    }
    // Every element of exactly that name; without one, those whose name contains it.
    const bool isExact = exact.status == ResultStatus::Done;
    const bool listParts = gui.state->GetKind() == StateKind::Ready &&
                           (isExact || (exact.status == ResultStatus::Error && input[0] != '\0'));
    Result<Ref> result = exact;
    Result<TreeFilterMatches> parts;
    if (listParts) {
        parts = gui.state->ListShortNames(input, isExact);
        if (!isExact || partMatches.selected >= 0)
            result = SelectedPart(parts, partMatches);
    }
    const bool several = isExact && parts.status == ResultStatus::Done && parts.value->listed.size() > 1;
    // One message at a time: the element found, or why none was, unless the list below has some.
    const bool noParts = !listParts || (parts.status == ResultStatus::Done && parts.value->listed.empty());
    if (isExact && !several)
        DrawFindStatus(false, exact.GetValue()->path, gui.successColor);
    else if (exact.status == ResultStatus::Error && input[0] != '\0' && noParts)
        DrawFindStatus(false, exact.message, gui.errorColor);
    else
        DrawFindStatus(exact.status == ResultStatus::Pending, "", gui.errorColor);
    const ResultButtonPresses presses = DrawFindButtons(result, "Show in main window", gui.mutedColor);
    if (presses.openWindow)
        gui.navigation.OpenElementWindow(result.GetValue()->path);
    if (presses.showInMain || EnterPressed(result))
        gui.navigation.GoTo(result.GetValue()->trail, result.GetValue()->path);
    // A single element of that name needs no list: the line above names it.
    partMatches.shown =
        listParts &&
        (isExact ? several : (parts.status != ResultStatus::Done || !parts.value->listed.empty()));
    if (partMatches.shown && DrawPartMatches(parts, isExact, partMatches)) {
        const Result<Ref> chosen = SelectedPart(parts, partMatches);
        gui.navigation.GoTo(chosen.GetValue()->trail, chosen.GetValue()->path);
    }
    gui.EndSecondaryWindow();
}
