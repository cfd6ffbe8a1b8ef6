#include "ui/ElementWindows.h"
#include "ui/ElementComparePane.h"
#include "ui/Gui.h"

void ElementWindows::Draw(Gui& gui)
{
    const float fontSize = ImGui::GetFontSize();
    for (auto it = entries.begin(); it != entries.end();) {
        Result<Ref> result = gui.state->FindRef(it->path);
        gui.statusText.clear();
        bool open = true;
        const std::string title = it->Name();
        SecondaryWindowLook look{title.c_str(), "Element", ImVec2(35 * fontSize, 25 * fontSize)};
        look.besideMiddle = true;
        look.stagger = std::stoi(it->windowId);
        look.flags = ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoSavedSettings;
        if (gui.BeginSecondaryWindow(look, &open)) {
            const bool showXml =
                result.status == ResultStatus::Done && xmlPanes.DrawBar(gui, it->windowId, result.GetValue());
            BeginScrollingRegion();
            switch (result.status) {
                case ResultStatus::Done: {
                    if (showXml) {
                        xmlPanes.DrawText(it->windowId);
                        break;
                    }
                    const Ref& ref = result.GetValue();
                    gui.DrawElementChanges(ref->path);
                    ImGui::PushID((int)gui.state->id);
                    if (!DrawElementComparePane(gui, ref->path, ref->node))
                        gui.DrawTree(ref->path, false, ref->node, {});
                    ImGui::PopID();
                    break;
                }
                case ResultStatus::Pending:
                    DrawLoadingScreen();
                    break;
                case ResultStatus::Error:
                    DrawErrorScreen(result.message);
                    break;
                case ResultStatus::Empty:
                case ResultStatus::Partial:
                    break;
            }
            ImGui::EndChild();
        }
        ImGui::Separator();
        gui.DrawStatusLine();
        gui.EndSecondaryWindow();
        it = open ? std::next(it) : entries.erase(it);
    }
    if (xmlPanes.Count() > entries.size())
        xmlPanes.KeepOnly(entries);
}
