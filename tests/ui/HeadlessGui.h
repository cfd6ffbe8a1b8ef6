#pragma once

#include "ui/Gui.h"

#include <imgui_internal.h>

#include <functional>
#include <string>

// An ImGui context with a built font atlas and no backend: frames of Gui::DrawFrame run against
// real document states without a window. One per test.
class HeadlessGui
{
public:
    // Builtin: ImGui's own 13-pixel font (quick). Embedded: the program's fonts at scale 1, with
    // the icon glyphs merged in.
    enum class Fonts
    {
        Builtin,
        Embedded,
    };

    explicit HeadlessGui(Fonts fonts = Fonts::Builtin);
    ~HeadlessGui();

    // One whole frame: new frame, DrawFrame, render. `beforeDraw` runs after NewFrame.
    bool Frame(const std::function<void()>& beforeDraw = {});

    // Runs frames (about 1 ms apart) until `done` holds; false when `timeoutSeconds` pass first, or
    // when the interface has settled (nothing live for a hundred frames) without it holding.
    bool FramesUntil(const std::function<bool()>& done, double timeoutSeconds = 60);

    // The GUI library's record of a window (its state storage, scroll, size), or null.
    ImGuiWindow* FindWindow(const char* name) const;

    Gui gui;
    ImGuiContext* context = nullptr;
};

// Replaces the text of the focused input field with `text` (Ctrl+A, then typing or Backspace).
void TypeText(HeadlessGui& headless, const std::string& text);

// Opens a window as a row's button does, but at once instead of at the end of the next frame.
void OpenElementWindow(Gui& gui, std::string path);
void OpenRefsWindow(Gui& gui, std::string path);
