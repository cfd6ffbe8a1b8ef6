#include "HeadlessGui.h"

#include "app/Shell.h"

#include <imgui_internal.h>

#include <chrono>
#include <thread>

HeadlessGui::HeadlessGui(Fonts fonts)
{
    IMGUI_CHECKVERSION();
    context = ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.DisplaySize = ImVec2(1280, 900);
    io.DeltaTime = 1.0f / 60.0f;
    if (fonts == Fonts::Embedded)
        AddFonts(*io.Fonts, 1.0f);
    else
        io.Fonts->AddFontDefault();
    unsigned char* pixels;
    int width, height;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    io.Fonts->SetTexID(ImTextureID(1));
}

HeadlessGui::~HeadlessGui()
{
    ImGui::DestroyContext(context);
}

bool HeadlessGui::Frame(const std::function<void()>& beforeDraw)
{
    ImGui::NewFrame();
    if (beforeDraw)
        beforeDraw();
    bool quit = gui.DrawFrame();
    ImGui::Render();
    return quit;
}

bool HeadlessGui::FramesUntil(const std::function<bool()>& done, double timeoutSeconds)
{
    // Frames with nothing live on screen (no load, search, spinner or highlight under way, however
    // slowly drawn) draw the same again: after that many the answer is final, and a wrong one fails
    // at once.
    constexpr int kSettledFrames = 100;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    int settled = 0;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline || settled >= kSettledFrames)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        Frame();
        settled = gui.IsLive() || gui.IsLiveSlowly() ? 0 : settled + 1;
    }
    return true;
}

ImGuiWindow* HeadlessGui::FindWindow(const char* name) const
{
    return ImGui::FindWindowByName(name);
}

void TypeText(HeadlessGui& headless, const std::string& text)
{
    constexpr int kA = 'A';
    ImGuiIO& io = ImGui::GetIO();
    io.KeyMap[ImGuiKey_A] = kA;
    io.KeyMap[ImGuiKey_Backspace] = 8;
    io.KeyCtrl = true;
    io.KeysDown[kA] = true;
    headless.Frame();
    io.KeyCtrl = false;
    io.KeysDown[kA] = false;
    if (text.empty()) {
        io.KeysDown[8] = true;
        headless.Frame();
        io.KeysDown[8] = false;
    } else {
        io.AddInputCharactersUTF8(text.c_str());
    }
    headless.Frame();
}

void OpenElementWindow(Gui& gui, std::string path)
{
    gui.navigation.OpenElementWindow(std::move(path));
    gui.FollowNavigation();
}

void OpenRefsWindow(Gui& gui, std::string path)
{
    gui.navigation.OpenRefsWindow(std::move(path));
    gui.FollowNavigation();
}
