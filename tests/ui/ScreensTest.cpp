#include "HeadlessGui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

const ImU32 kError = IM_COL32(0xEB, 0x68, 0x47, 0xFF);

struct Box
{
    ImVec2 min{1e9f, 1e9f};
    ImVec2 max{-1e9f, -1e9f};
    int vertices = 0;
};

Box VerticesInColour(const ImDrawList* drawList, ImU32 colour)
{
    Box box;
    for (const ImDrawVert& vertex : drawList->VtxBuffer) {
        if (vertex.col != colour)
            continue;
        box.min = ImVec2(std::min(box.min.x, vertex.pos.x), std::min(box.min.y, vertex.pos.y));
        box.max = ImVec2(std::max(box.max.x, vertex.pos.x), std::max(box.max.y, vertex.pos.y));
        ++box.vertices;
    }
    return box;
}

// Draws `body` in a window of the given size at (0, 0) and returns that window after the frame.
ImGuiWindow* DrawInWindow(ImVec2 size, const std::function<void()>& body)
{
    ImGui::NewFrame();
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(size);
    ImGui::Begin("Screen", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings);
    body();
    ImGui::End();
    ImGui::Render();
    return ImGui::FindWindowByName("Screen");
}

int VisibleCharacters(const std::string& text)
{
    return (int)std::count_if(text.begin(), text.end(), [](char c) { return c != ' '; });
}

} // namespace

TEST(ErrorScreen, MessageIsCentredEightyPixelsBelowTheMiddleVerbatimAndUnwrapped)
{
    HeadlessGui headless;
    const std::string message = "Could not load the file /tmp/100%d %s.arxml";
    ImVec2 textSize;
    ImGuiWindow* window = DrawInWindow(ImVec2(800, 600), [&] {
        textSize = ImGui::CalcTextSize(message.c_str());
        DrawErrorScreen(message);
    });
    Box box = VerticesInColour(window->DrawList, kError);
    // One quad per visible glyph: "%d" and "%s" are not formatted away.
    EXPECT_EQ(box.vertices, 4 * VisibleCharacters(message));
    EXPECT_NEAR(box.min.x, (800 - textSize.x) / 2, 2.0f);
    EXPECT_NEAR(box.min.y, (600 - textSize.y) / 2 + 80, 3.0f);

    // Too long for the window: starts left of it, on one line, clipped.
    window = DrawInWindow(ImVec2(300, 200), [] { DrawErrorScreen(std::string(200, 'x')); });
    box = VerticesInColour(window->DrawList, kError);
    EXPECT_GT(box.vertices, 0);
    EXPECT_LT(box.max.y - box.min.y, ImGui::GetFontSize() + 1);

    window = DrawInWindow(ImVec2(300, 200), [] { DrawErrorScreen(""); });
    EXPECT_EQ(VerticesInColour(window->DrawList, kError).vertices, 0);
}

TEST(LoadingScreen, SpinnerAndTextSitRightOfAndBelowTheCentre)
{
    HeadlessGui headless;
    ImGuiWindow* window = DrawInWindow(ImVec2(800, 600), [] { DrawLoadingScreen(); });
    Box white = VerticesInColour(window->DrawList, IM_COL32_WHITE);
    ASSERT_GT(white.vertices, 0);
    EXPECT_GE(white.min.x, 400 - 1);
    EXPECT_GE(white.min.y, 300 - 1);
    // The lemniscate stays inside its 72-pixel box; the text line starts 80 below the centre.
    EXPECT_LE(white.max.y, 380 + ImGui::GetFontSize() + 1);
    EXPECT_GE(white.max.y, 380);
    EXPECT_NE(DrawInWindow(ImVec2(10, 10), [] { DrawLoadingScreen(); }), nullptr) << "tiny window";

    // The file being read is named on the line under "Loading...".
    window = DrawInWindow(ImVec2(800, 600), [] { DrawLoadingScreen("big.arxml (12.3 MB)"); });
    Box named = VerticesInColour(window->DrawList, IM_COL32_WHITE);
    EXPECT_GE(named.max.y, 380 + 2 * ImGui::GetFontSize());
}
