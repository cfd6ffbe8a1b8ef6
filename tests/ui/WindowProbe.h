#pragma once

// Drives a headless GUI like a user would: typing into the focused field, clicking buttons, and
// reading back the texts a frame drew.

#include "HeadlessGui.h"
#include "support/SampleWorkspace.h"
#include "support/TestDocuments.h"

#include <imgui_internal.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

// Opens a file the way the File menu does and draws frames until its document is ready (not the
// one open before, which may be ready already).
inline bool OpenDocument(HeadlessGui& headless, const std::string& path, double timeoutSeconds = 60)
{
    headless.gui.state->OpenFile(path);
    return headless.FramesUntil(
        [&] {
            return headless.gui.state->GetKind() == StateKind::Ready &&
                   headless.gui.state->GetFilePath() == path;
        },
        timeoutSeconds);
}

// Writes the sample folder into `folder` (its three files and d.arxml, which does not parse) and
// opens it as one model, until it is ready.
inline bool OpenSampleWorkspace(HeadlessGui& headless, const TempDir& folder)
{
    WriteSampleWorkspace(folder);
    folder.Write("d.arxml", "<AUTOSAR>");
    return OpenDocument(headless, folder.Path().string());
}

// The fallback window that holds the state storage of windows drawn outside any other window.
inline ImGuiWindow* OuterWindow(HeadlessGui& headless)
{
    return headless.FindWindow("Debug##Default");
}

// The document area of a window: its child window "ScrollingRegion".
inline ImGuiWindow* ScrollingRegionOf(const char* windowName)
{
    ImGuiWindow* parent = ImGui::FindWindowByName(windowName);
    for (ImGuiWindow* window : GImGui->Windows) {
        if (parent && window->ParentWindow == parent && std::strstr(window->Name, "/ScrollingRegion_"))
            return window;
    }
    return nullptr;
}

// Vertices of exactly this colour in what the window drew last frame.
inline int VerticesInColour(const ImGuiWindow* window, const ImVec4& colour)
{
    const ImU32 wanted = ImGui::ColorConvertFloat4ToU32(colour);
    int count = 0;
    for (const ImDrawVert& vertex : window->DrawList->VtxBuffer)
        count += vertex.col == wanted;
    return count;
}

inline int Occurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// All text that one frame rendered in the main window (visible items only), through the GUI
// library's log, which ends with the first top-level window and lands on the clipboard.
inline std::string MainWindowText(HeadlessGui& headless)
{
    ImGui::SetClipboardText("");
    headless.Frame([] { ImGui::LogToClipboard(0); });
    return ImGui::GetClipboardText();
}

// Text without blanks: glyph quads carry no spaces, so drawn text is compared this way.
inline std::string Squash(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

// One character a frame drew: its glyph and the top left corner of its quad on the screen.
struct DrawnGlyph
{
    char character;
    ImVec2 position;
    bool newLine; // the baseline differs from that of the glyph before
};

// The ASCII glyph whose quad starts at vertex `a` and has `c` as its opposite corner, if any.
inline const ImFontGlyph* QuadGlyph(const ImFont* font, const ImDrawVert& a, const ImDrawVert& c)
{
    for (const ImFontGlyph& glyph : font->Glyphs) {
        if (glyph.Visible && glyph.Codepoint <= 0x7f && a.uv.x == glyph.U0 && a.uv.y == glyph.V0 &&
            c.uv.x == glyph.U1 && c.uv.y == glyph.V1)
            return &glyph;
    }
    return nullptr;
}

// The ASCII glyphs one frame drew in any window, read back from the glyph quads of its draw data
// (the GUI library keeps no text once a frame is rendered). Blanks draw no quad and are missing.
inline std::vector<DrawnGlyph> DrawnGlyphs(HeadlessGui& headless)
{
    headless.Frame();
    const ImFont* font = ImGui::GetFont();
    std::vector<DrawnGlyph> glyphs;
    const ImDrawData* data = ImGui::GetDrawData();
    for (int list = 0; list < data->CmdListsCount; ++list) {
        const ImVector<ImDrawVert>& vertices = data->CmdLists[list]->VtxBuffer;
        float lineY = -1;
        for (int i = 0; i + 3 < vertices.Size; ++i) {
            const ImDrawVert& a = vertices[i];
            const ImDrawVert& c = vertices[i + 2];
            if (const ImFontGlyph* glyph = QuadGlyph(font, a, c)) {
                const bool newLine = a.pos.y - glyph->Y0 != lineY;
                lineY = a.pos.y - glyph->Y0;
                glyphs.push_back({static_cast<char>(glyph->Codepoint), a.pos, newLine});
                i += 3;
            }
        }
    }
    return glyphs;
}

// The characters one frame drew in any window: no blanks, a line break wherever the baseline
// changes. Compare with Squash(expected).
inline std::string FrameText(HeadlessGui& headless)
{
    std::string text;
    for (const DrawnGlyph& glyph : DrawnGlyphs(headless)) {
        if (glyph.newLine)
            text += '\n';
        text += glyph.character;
    }
    return text;
}

// Where one frame first drew `text` (compared without blanks, on one line): its first glyph, or
// nothing when the text is not drawn.
inline std::optional<DrawnGlyph> FindDrawnText(HeadlessGui& headless, const std::string& text)
{
    const std::string wanted = Squash(text);
    const std::vector<DrawnGlyph> glyphs = DrawnGlyphs(headless);
    for (size_t start = 0; start + wanted.size() <= glyphs.size(); ++start) {
        size_t matched = 0;
        while (matched < wanted.size() && glyphs[start + matched].character == wanted[matched] &&
               (matched == 0 || !glyphs[start + matched].newLine))
            ++matched;
        if (matched == wanted.size())
            return glyphs[start];
    }
    return std::nullopt;
}

// Presses and releases the left button where the mouse is, one frame each.
inline void PressAndRelease(HeadlessGui& headless)
{
    ImGuiIO& io = ImGui::GetIO();
    io.MouseDown[0] = true;
    headless.Frame();
    io.MouseDown[0] = false;
    headless.Frame();
}

// Clicks the first place where one frame drew `text` (compared without blanks), as a user
// would: the mouse moves onto its first character, presses and releases. False when the text
// is not drawn.
inline bool ClickDrawnText(HeadlessGui& headless, const std::string& text)
{
    std::optional<DrawnGlyph> first = FindDrawnText(headless, text);
    if (!first)
        return false;
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = ImVec2(first->position.x + 2, first->position.y + 2);
    headless.Frame();
    PressAndRelease(headless);
    headless.Frame();
    io.MousePos = ImVec2(-FLT_MAX, -FLT_MAX);
    return true;
}

inline bool Drew(HeadlessGui& headless, const std::string& text)
{
    return FrameText(headless).find(Squash(text)) != std::string::npos;
}

// Brings the named window to the front, moves the mouse down the column at `x` of the named window until the
// button `label` (an ID in the window's own scope, or in `scope` pushed around it) is hovered, then presses
// and releases it there; the release frame is the last one run, so what the click set is still there. False
// when no such button can be hovered: absent, covered or disabled.
inline bool ClickButton(HeadlessGui& headless, const char* windowName, const char* label, float x,
                        const char* scope = nullptr)
{
    ImGuiWindow* window = headless.FindWindow(windowName);
    if (!window)
        return false;
    const ImGuiID id = ImHashStr(label, 0, scope ? ImHashStr(scope, 0, window->ID) : window->ID);
    headless.Frame();                                           // windows asked for by the last click open
    headless.Frame([&] { ImGui::SetWindowFocus(windowName); }); // above windows opened meanwhile
    ImGuiIO& io = ImGui::GetIO();
    bool found = false;
    for (float y = window->Pos.y; y < window->Pos.y + window->Size.y && !found; y += 2) {
        io.MousePos = ImVec2(x, y);
        headless.Frame();
        found = GImGui->HoveredId == id && !GImGui->HoveredIdDisabled;
    }
    if (found)
        PressAndRelease(headless);
    io.MousePos = ImVec2(-FLT_MAX, -FLT_MAX);
    return found;
}

// Clicks one of the two buttons that end a window's row at the content region's right edge:
// `label` is either `rightLabel` itself or the button left of it.
inline bool ClickRowButton(HeadlessGui& headless, const std::string& windowName, const char* label,
                           const char* rightLabel)
{
    ImGuiWindow* window = headless.FindWindow(windowName.c_str());
    if (!window)
        return false;
    const ImGuiStyle& style = ImGui::GetStyle();
    auto width = [&](const char* text) { return ImGui::CalcTextSize(text).x + 2 * style.FramePadding.x; };
    float x = window->ContentRegionRect.Max.x - width(label) / 2;
    if (std::strcmp(label, rightLabel) != 0)
        x -= width(rightLabel) + style.ItemSpacing.x;
    return ClickButton(headless, windowName.c_str(), label, x);
}

// Centre of the last glyph of `text` (compared without blanks) as one frame drew it in any window;
// negative coordinates when it was not drawn.
inline ImVec2 TextPosition(HeadlessGui& headless, const std::string& text)
{
    headless.Frame();
    const std::string wanted = Squash(text);
    const ImFont* font = ImGui::GetFont();
    const ImDrawData* data = ImGui::GetDrawData();
    for (int list = 0; list < data->CmdListsCount; ++list) {
        const ImVector<ImDrawVert>& vertices = data->CmdLists[list]->VtxBuffer;
        std::string drawn;
        std::vector<ImVec2> centres;
        for (int i = 0; i + 3 < vertices.Size; ++i) {
            const ImDrawVert& a = vertices[i];
            const ImDrawVert& c = vertices[i + 2];
            if (const ImFontGlyph* glyph = QuadGlyph(font, a, c)) {
                drawn += static_cast<char>(glyph->Codepoint);
                centres.push_back(ImVec2((a.pos.x + c.pos.x) / 2, (a.pos.y + c.pos.y) / 2));
                i += 3;
            }
        }
        if (size_t at = drawn.find(wanted); at != std::string::npos)
            return centres[at + wanted.size() - 1];
    }
    return ImVec2(-1, -1);
}

// Moves the mouse onto `text` and clicks it there, with Ctrl held when asked. False when the text
// was not drawn.
inline bool ClickText(HeadlessGui& headless, const std::string& text, bool ctrl = false)
{
    const ImVec2 at = TextPosition(headless, text);
    if (at.x < 0)
        return false;
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = at;
    headless.Frame();
    io.KeyCtrl = ctrl;
    io.MouseDown[0] = true;
    headless.Frame();
    io.MouseDown[0] = false;
    headless.Frame();
    io.KeyCtrl = false;
    return true;
}

// Presses and releases one key (a backend key number) with the given modifiers, one frame each.
inline void PressKey(HeadlessGui& headless, int key, bool ctrl = false, bool shift = false, bool alt = false)
{
    ImGuiIO& io = ImGui::GetIO();
    io.KeyCtrl = ctrl;
    io.KeyShift = shift;
    io.KeyAlt = alt;
    io.KeysDown[key] = true;
    headless.Frame();
    io.KeysDown[key] = false;
    io.KeyCtrl = io.KeyShift = io.KeyAlt = false;
    headless.Frame();
}

// Backend numbers for the named keys the tests press (those of the usual desktop backend).
inline void MapNamedKeys()
{
    ImGuiIO& io = ImGui::GetIO();
    io.KeyMap[ImGuiKey_LeftArrow] = 263;
    io.KeyMap[ImGuiKey_RightArrow] = 262;
    io.KeyMap[ImGuiKey_Enter] = 257;
    io.KeyMap[ImGuiKey_Escape] = 256;
    io.KeyMap[ImGuiKey_Tab] = 258;
    io.KeyMap[ImGuiKey_Space] = 32; // keyboard navigation needs it
}
