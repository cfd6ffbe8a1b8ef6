#include "app/Shell.h"

#include "resources/EmbeddedFonts.h"
#include "ui/Gui.h"

#include <imgui_freetype.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

std::string CommandLineFromArguments(int argc, const char* const* argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        line += argv[i];
    }
    return line;
}

std::string PathFromCommandLine(const std::string& commandLine)
{
    if (!commandLine.empty() && commandLine.front() == '"' && commandLine.back() == '"') {
        // A lone quote is both first and last character: nothing remains.
        return commandLine.size() < 2 ? std::string() : commandLine.substr(1, commandLine.size() - 2);
    }
    return commandLine;
}

StartUpPaths StartUpPathsFromArguments(int argc, const char* const* argv)
{
    int split = 1;
    while (split < argc && std::strcmp(argv[split], "--compare") != 0)
        ++split;
    if (split == argc)
        return {PathFromCommandLine(CommandLineFromArguments(argc, argv)), {}};
    std::vector<const char*> after{argv[0]};
    after.insert(after.end(), argv + split + 1, argv + argc);
    return {PathFromCommandLine(CommandLineFromArguments(split, argv)),
            PathFromCommandLine(CommandLineFromArguments(int(after.size()), after.data()))};
}

int InitApplication(Gui& gui, const std::string& path, const std::string& comparePath)
{
    LoadSettings(gui.settings);
    if (!path.empty()) {
        gui.AddRecentFile(path);
        gui.state->OpenFile(path);
        // The file loads on its worker while the window, the renderer and the fonts are made.
        AdvanceState(gui.state, gui.reaper);
        if (!comparePath.empty())
            gui.CompareWith(comparePath); // loads beside it
    }
    return 0;
}

std::string RunFrameLoop(Gui& gui, const std::function<void()>& frames,
                         const std::function<void(Settings&)>& rememberPlace)
{
    ImGuiContext* const mainContext = ImGui::GetCurrentContext();
    std::string failure;
    try {
        frames();
        return {};
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
    }
    if (failure.empty())
        failure = "unknown failure";
    ImGui::SetCurrentContext(mainContext); // the frame may have failed in a window of its own
    rememberPlace(gui.settings);
    SaveSettings(gui.settings);
    return failure;
}

void OpenDroppedFiles(Gui& gui, int count, const char* const* paths)
{
    if (count <= 0 || !paths[count - 1])
        return;
    std::string path = paths[count - 1];
    gui.AddRecentFile(path);
    gui.state->OpenFile(path);
}

WindowGeometry ComputeWindowGeometry(int areaLeft, int areaTop, int areaWidth, int areaHeight,
                                     float areaScale)
{
    const int scaledHeight = (int)(areaHeight * areaScale);
    const int scaledWidth = (int)(areaWidth * areaScale);
    WindowGeometry geometry;
    geometry.height = 9 * scaledHeight / 10;
    geometry.width = 3 * scaledHeight / 4;
    geometry.x = areaLeft + (scaledWidth - geometry.width) / 2;
    geometry.y = areaTop + (scaledHeight - geometry.height) / 2;
    return geometry;
}

WindowGeometry GlfwWindowGeometry(int areaLeft, int areaTop, int areaWidth, int areaHeight, float)
{
    return ComputeWindowGeometry(areaLeft, areaTop, areaWidth, areaHeight, 1.0f);
}

std::optional<WindowGeometry> SavedGeometryOnMonitors(const WindowPlace& place,
                                                      const std::vector<WorkArea>& areas, int othersRunning)
{
    WindowPlace saved = place;
    saved.x += std::max(0, othersRunning) * kCascadeStep;
    saved.y += std::max(0, othersRunning) * kCascadeStep;
    const int grip = std::min(64, saved.width);
    for (const WorkArea& area : areas) {
        const int left = std::max(saved.x, area.x);
        const int right = std::min(saved.x + saved.width, area.x + area.width);
        const bool topInside = saved.y >= area.y && saved.y < area.y + area.height;
        if (!topInside || right - left < grip || area.width <= 0 || area.height <= 0)
            continue;
        // Shrunk to the work area if need be, then moved into it: a place saved on a taller
        // screen must not leave the bottom edge, and the grip with it, out of reach.
        WindowGeometry geometry;
        geometry.width = std::min(saved.width, area.width);
        geometry.height = std::min(saved.height, area.height);
        geometry.x = std::clamp(saved.x, area.x, area.x + area.width - geometry.width);
        geometry.y = std::clamp(saved.y, area.y, area.y + area.height - geometry.height);
        return geometry;
    }
    return std::nullopt;
}

void RememberWindowPlace(Settings& settings, const WindowPlace& now, bool minimized, bool maximized)
{
    if (minimized)
        return;
    const bool valid = now.width > 0 && now.height > 0;
    if (maximized) {
        if (!settings.window && valid)
            settings.window = now;
        if (settings.window)
            settings.window->maximized = true;
        return;
    }
    if (valid)
        settings.window = now;
}

ImVec4 InstanceColor(int runningProcesses)
{
    static const char* const colours[] = {"404854", "165A36", "96290D", "5C255C"};
    const int others = runningProcesses >= 1 ? runningProcesses - 1 : 0;
    return HexToColor(colours[others % 4]);
}

void ApplyTheme(ImGuiStyle& style, const ImVec4& instanceColor, float scale)
{
    ImGui::StyleColorsDark(&style);
    style.WindowRounding = 0;

    ImVec4* c = style.Colors;
    c[ImGuiCol_Text] = HexToColor("FFFFFF");
    c[ImGuiCol_TextDisabled] = HexToColor("878787");
    c[ImGuiCol_WindowBg] = HexToColor("252A31");
    c[ImGuiCol_ChildBg] = HexToColor("252A31");
    c[ImGuiCol_PopupBg] = HexToColor("252A31");
    c[ImGuiCol_Border] = HexToColor("5F6B7C");
    c[ImGuiCol_BorderShadow] = ImVec4(0, 0, 0, 0);
    c[ImGuiCol_FrameBg] = HexToColor("252A31");
    c[ImGuiCol_FrameBgHovered] = HexToColor("2F343C");
    c[ImGuiCol_FrameBgActive] = HexToColor("383E47");
    c[ImGuiCol_TitleBg] = instanceColor;
    c[ImGuiCol_TitleBgActive] = instanceColor;
    c[ImGuiCol_TitleBgCollapsed] = instanceColor;
    c[ImGuiCol_MenuBarBg] = instanceColor;
    c[ImGuiCol_ScrollbarBg] = HexToColor("252A31");
    c[ImGuiCol_ScrollbarGrab] = HexToColor("383E47");
    c[ImGuiCol_ScrollbarGrabHovered] = HexToColor("404854");
    c[ImGuiCol_ScrollbarGrabActive] = HexToColor("404854");
    c[ImGuiCol_CheckMark] = HexToColor("238551");
    c[ImGuiCol_SliderGrab] = HexToColor("5F6B7C");
    c[ImGuiCol_SliderGrabActive] = HexToColor("8F99A8");
    c[ImGuiCol_Button] = HexToColor("252A31");
    c[ImGuiCol_ButtonHovered] = HexToColor("2F343C");
    c[ImGuiCol_ButtonActive] = HexToColor("383E47");
    c[ImGuiCol_Header] = HexToColor("1A509C");
    c[ImGuiCol_HeaderHovered] = HexToColor("383E47"); // grey: blue is the selection's
    c[ImGuiCol_HeaderActive] = HexToColor("2571DB");
    c[ImGuiCol_Separator] = HexToColor("3F3F3F");
    c[ImGuiCol_SeparatorHovered] = HexToColor("404854");
    c[ImGuiCol_SeparatorActive] = HexToColor("5F5F5F");
    c[ImGuiCol_ResizeGrip] = HexToColor("5F6B7C");
    c[ImGuiCol_ResizeGripHovered] = HexToColor("5F6B7C");
    c[ImGuiCol_ResizeGripActive] = HexToColor("5F6B7C");
    c[ImGuiCol_PlotLines] = HexToColor("FFFFFF");
    c[ImGuiCol_PlotLinesHovered] = HexToColor("FFFFFF");
    c[ImGuiCol_PlotHistogram] = HexToColor("DCE0E5");
    c[ImGuiCol_PlotHistogramHovered] = HexToColor("FFFFFF");
    c[ImGuiCol_TextSelectedBg] = HexToColor("404854");
    c[ImGuiCol_ModalWindowDimBg] = HexToColor("383E4766");

    style.WindowPadding = ImVec2(14, 14);
    style.WindowRounding = 0;
    style.WindowBorderSize = 1;
    style.WindowTitleAlign = ImVec2(0.5f, 0.5f);
    style.ChildRounding = 0;
    style.ChildBorderSize = 1;
    style.PopupRounding = 2;
    style.PopupBorderSize = 1;
    style.FramePadding = ImVec2(10, 8);
    style.FrameRounding = 3;
    style.FrameBorderSize = 1;
    style.ItemSpacing = ImVec2(16, 8);
    style.ItemInnerSpacing = ImVec2(4, 4);
    style.IndentSpacing = 25;
    style.ScrollbarSize = 15;
    style.ScrollbarRounding = 12;
    style.GrabMinSize = 5;
    style.GrabRounding = 0;
    style.TabBorderSize = 1;
    style.AntiAliasedLines = true;
    style.AntiAliasedFill = true;
    style.CurveTessellationTol = 1.25f;

    style.ScaleAllSizes(scale);
}

namespace {

// The atlas frees font data it owns, so each font gets a heap copy of the embedded bytes.
void* HeapCopy(const EmbeddedFile& file)
{
    void* copy = IM_ALLOC(file.size);
    std::memcpy(copy, file.data, file.size);
    return copy;
}

} // namespace

bool AddFonts(ImFontAtlas& atlas, float scale)
{
    // ForceAutoHint | LightHinting | MonoHinting
    const unsigned builderFlags = ImGuiFreeTypeBuilderFlags_ForceAutoHint |
                                  ImGuiFreeTypeBuilderFlags_LightHinting |
                                  ImGuiFreeTypeBuilderFlags_MonoHinting;
    atlas.FontBuilderIO = ImGuiFreeType::GetBuilderForFreeType();

    EmbeddedFile text = RobotoMonoFont();
    ImFontConfig textConfig;
    textConfig.FontBuilderFlags = builderFlags;
    ImFont* font = atlas.AddFontFromMemoryTTF(HeapCopy(text), (int)text.size, std::floor(16 * scale),
                                              &textConfig, atlas.GetGlyphRangesDefault());
    if (!font)
        return false;

    static const ImWchar iconRanges[] = {0xE005, 0xF8FF, 0};
    EmbeddedFile icons = FontAwesomeSolidFont();
    ImFontConfig iconConfig;
    iconConfig.MergeMode = true;
    iconConfig.PixelSnapH = true;
    iconConfig.FontBuilderFlags = builderFlags;
    if (!atlas.AddFontFromMemoryTTF(HeapCopy(icons), (int)icons.size, std::floor(12 * scale), &iconConfig,
                                    iconRanges))
        return false;
    return atlas.Build();
}
