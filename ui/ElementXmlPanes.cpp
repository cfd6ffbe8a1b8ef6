#include "ui/ElementXmlPanes.h"

#include "ui/Gui.h"
#include "ui/SearchWindowsText.h"
#include "ui/TreePaths.h"

ElementXmlPanes::~ElementXmlPanes()
{
    pool.RequestStop();
}

ElementXml ElementXmlPanes::Make(pugi::xml_node node, std::shared_ptr<pugi::xml_document> document)
{
    return MakeElementXml(node, std::move(document), &pool.StopFlag());
}

bool ElementXmlPanes::DrawBar(Gui& gui, const std::string& windowId, const Ref& element)
{
    Pane& pane = panes[windowId];
    const int flags = pane.shown ? 2 : 0;
    ImGui::AlignTextToFramePadding();
    if (flags)
        ImGui::PushStyleColor(ImGuiCol_Text, gui.buttonHighlightColor);
    const bool pressed = ImGui::Button("View XML");
    if (flags)
        ImGui::PopStyleColor();
    if (pressed)
        pane.shown = !pane.shown;
    if (!pane.shown)
        return false;

    // A new document (or another element under the same path) needs its text made again.
    if (pane.node != element->node || pane.document != gui.documentCount) {
        pane.node = element->node;
        pane.document = gui.documentCount;
        pane.xml.reset();
        pane.pending = std::make_unique<Future<ElementXml>>(
            pool.Submit(&ElementXmlPanes::Make, this, element->node, gui.state->document));
    }
    if (pane.pending && pane.pending->IsReady()) {
        pane.xml = pane.pending->ValueObject();
        pane.pending.reset();
    }
    if (!pane.xml) {
        ImGui::SameLine();
        PendingSpinner();
        return true;
    }
    const ElementXml& xml = *pane.xml;
    if (xml.line > 0) {
        ImGui::SameLine(0, 20);
        ImGui::TextUnformatted(("Line " + GroupThousands(xml.line)).c_str());
    }
    if (xml.cut) {
        ImGui::SameLine(0, 20);
        ImGui::PushStyleColor(ImGuiCol_Text, gui.mutedColor);
        ImGui::TextUnformatted("Only the first 2 MB are shown.");
        ImGui::PopStyleColor();
    }
    if (gui.ActionButton(true, std::string(Icon::Copy) + " Copy", "Copy the XML text to the clipboard", 0))
        CopyToClipboard(xml.text);
    return true;
}

void ElementXmlPanes::DrawText(const std::string& windowId)
{
    auto found = panes.find(windowId);
    if (found == panes.end() || !found->second.xml)
        return;
    const ElementXml& xml = *found->second.xml;
    // Only the visible lines are drawn, and of a long line only its start: the cost of a frame
    // does not grow with the text.
    constexpr size_t kLineShown = 1000;
    ImGuiListClipper clipper;
    clipper.Begin(static_cast<int>(xml.lineStarts.size()));
    while (clipper.Step()) {
        for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
            const size_t begin = xml.lineStarts[i];
            size_t end = size_t(i) + 1 < xml.lineStarts.size() ? xml.lineStarts[i + 1] - 1 : xml.text.size();
            if (end - begin > kLineShown) {
                end = begin + kLineShown;
                while (end > begin && (static_cast<unsigned char>(xml.text[end]) & 0xC0) == 0x80)
                    --end;
            }
            ImGui::TextUnformatted(xml.text.data() + begin, xml.text.data() + end);
        }
    }
}
