#include "HeadlessGui.h"
#include "WindowProbe.h"

#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {
// 75 elements whose text holds "needle" between long runs of other text (each gives two hits:
// the element and its text node), and one element with thirty children, the last one a hit.
std::string Document()
{
    std::string xml = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>";
    for (int i = 0; i < 75; ++i)
        xml += "<ECU><SHORT-NAME>E" + std::to_string(i) + "</SHORT-NAME><DESC>start" + std::to_string(i) +
               std::string(45, 'x') + " needle " + std::string(45, 'y') + "end" + std::to_string(i) +
               "</DESC></ECU>";
    xml += "<ECU><SHORT-NAME>Big</SHORT-NAME>";
    for (int i = 0; i < 30; ++i)
        xml += "<X>filler</X>";
    xml += "<X>deep haystack</X></ECU>";
    return xml + "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>";
}

ImGuiWindow* ChildOfSearchWindow(bool preview)
{
    ImGuiWindow* parent = ImGui::FindWindowByName("Full-Text Search");
    for (ImGuiWindow* window : GImGui->Windows) {
        if (parent && window->ParentWindow == parent &&
            (std::strstr(window->Name, "/ScrollingRegion_") != nullptr) == preview)
            return window;
    }
    return nullptr;
}

class SearchHitsInContext : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenDocument(headless, files.Write("context.arxml", Document())));
        headless.gui.findText.shown = true;
        headless.Frame();
        // Wide enough for a whole row with its context.
        headless.Frame([] {
            ImGui::SetWindowPos("Full-Text Search", ImVec2(0, 0));
            ImGui::SetWindowSize("Full-Text Search", ImVec2(1200, 600));
        });
    }

    bool Search(const std::string& text, size_t limit = 100)
    {
        TypeText(headless, text);
        return headless.FramesUntil([&] {
            return headless.gui.state->FullTextSearch(text, false, limit).status == ResultStatus::Done;
        });
    }

    TempDir files;
    HeadlessGui headless;
};
} // namespace

TEST_F(SearchHitsInContext, RowsShowTheTextAroundTheHitAndShowMoreAddsAPage)
{
    ASSERT_TRUE(Search("needle"));
    std::string drawn = FrameText(headless);
    EXPECT_NE(drawn.find(Squash("Showing the first 100 results.")), std::string::npos);
    // Forty bytes each side: the row of element 3 shows neither end of its long text.
    const std::string around = Squash(std::string(39, 'x') + " needle " + std::string(39, 'y'));
    EXPECT_NE(drawn.find(around), std::string::npos) << drawn;
    EXPECT_EQ(drawn.find("start3"), std::string::npos);
    EXPECT_EQ(drawn.find("end3"), std::string::npos);
    ImGuiWindow* list = ChildOfSearchWindow(false);
    ASSERT_NE(list, nullptr);
    EXPECT_GT(VerticesInColour(list, headless.gui.highlightColor), 0) << "the match on the highlight colour";

    std::vector<Ref> firstPage = headless.gui.state->FullTextSearch("needle", false, 100).GetValue();
    list->Scroll.y = 1e6f; // "Show more" ends the list
    ASSERT_TRUE(ClickDrawnText(headless, "Show more"));
    ASSERT_TRUE(headless.FramesUntil([&] {
        return headless.gui.state->FullTextSearch("needle", false, 200).status == ResultStatus::Done;
    }));
    const std::vector<Ref> all = headless.gui.state->FullTextSearch("needle", false, 200).GetValue();
    ASSERT_EQ(all.size(), 150u);
    for (size_t i = 0; i < firstPage.size(); ++i)
        EXPECT_EQ(all[i]->node, firstPage[i]->node) << "hit " << i << " stays in its place";
    EXPECT_TRUE(Drew(headless, "Found 150 results."));
    EXPECT_FALSE(Drew(headless, "Show more"));
}

TEST_F(SearchHitsInContext, ThePreviewScrollsToTheHit)
{
    ASSERT_TRUE(Search("haystack"));
    // The first hit is selected on the frame that sees it, and the preview scrolls on the next.
    ImGuiWindow* preview = nullptr;
    EXPECT_TRUE(headless.FramesUntil(
        [&] { return (preview = ChildOfSearchWindow(true)) != nullptr && preview->Scroll.y > 0.0f; }, 10));
    const std::string drawn = FrameText(headless);
    EXPECT_GE(Occurrences(drawn, "deephaystack"), 3) << "in its two rows and in the preview\n" << drawn;
}
