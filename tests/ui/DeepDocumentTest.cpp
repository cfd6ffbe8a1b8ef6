#include "HeadlessGui.h"
#include "WindowProbe.h"
#include "support/SlowTests.h"
#include "support/TestDocuments.h"

#include "model/Trail.h"

#include <gtest/gtest.h>

namespace {

struct Depth
{
    int levels;
    bool named;
};

// `levels` elements each inside the one before, named P0, P1, ... when `named`; the deepest
// holds the text "bottom".
std::string Nested(const Depth& depth)
{
    std::string xml;
    xml.reserve(size_t(depth.levels) * (depth.named ? 40 : 8) + 64);
    for (int i = 0; i < depth.levels; ++i) {
        xml += "<E>";
        if (depth.named)
            xml += "<SHORT-NAME>P" + std::to_string(i) + "</SHORT-NAME>";
    }
    xml += "bottom";
    for (int i = 0; i < depth.levels; ++i)
        xml += "</E>";
    return xml;
}

pugi::xml_node Deepest(const pugi::xml_document& document)
{
    pugi::xml_node node = document.document_element();
    while (pugi::xml_node child =
               node.last_child().type() == pugi::node_element ? node.last_child() : pugi::xml_node())
        node = child;
    return node;
}

class DeepDocument : public ::testing::TestWithParam<Depth>
{
protected:
    void SetUp() override
    {
        if (GetParam().levels > 10000)
            TESSARO_SLOW_TEST();
        ImGui::GetIO().DisplaySize = ImVec2(4000, 3000); // room for a hundred levels, indented
        ASSERT_TRUE(OpenDocument(headless, files.Write("deep.arxml", Nested(GetParam())), 300));
        deepest = Deepest(*headless.gui.state->document);
    }

    // The element path of the deepest element, built here from the names.
    std::string DeepestPath() const
    {
        std::string path;
        for (int i = 0; i < GetParam().levels; ++i)
            path += "/P" + std::to_string(i);
        return path.empty() ? "/" : path;
    }

    TempDir files;
    HeadlessGui headless;
    pugi::xml_node deepest;
};

} // namespace

// Open, drawn, walked and searched at any depth, none of it on a stack as deep as the document.
TEST_P(DeepDocument, OpensDrawsFiltersAndPreviewsToTheBottom)
{
    ImGuiIO& io = ImGui::GetIO();
    Gui& gui = headless.gui;

    // The filter opens the way down to its one match, a stretch of levels at a time.
    if (GetParam().named) {
        gui.filterBar.focus = true;
        headless.Frame();
        headless.Frame();
        io.AddInputCharactersUTF8(("P" + std::to_string(GetParam().levels - 1)).c_str());
        ASSERT_TRUE(headless.FramesUntil([&] { return gui.filterBar.shown != nullptr; }, 300));
        EXPECT_EQ(gui.filterBar.shown->matchCount, 1u);
        EXPECT_NE(MainWindowText(headless).find("... deeper levels"), std::string::npos);
        ASSERT_TRUE(ClickText(headless, "levels")); // the only such row, a hundred levels down
        EXPECT_TRUE(Drew(headless, "... 100 levels above"));
        gui.filterBar.Clear(gui.reaper);
    }

    // The main tree opened down to the deepest element starts a stretch of levels above it.
    gui.tree.navigationTarget = Trail(deepest).Items();
    std::string text = MainWindowText(headless);
    EXPECT_NE(text.find("bottom"), std::string::npos);
    EXPECT_NE(text.find("levels above"), std::string::npos);

    // The path of a deep row is the whole path, named piece by piece.
    if (GetParam().named) {
        const std::string expected = DeepestPath();
        ImGuiWindow* region = ScrollingRegionOf("XML Tree View");
        ASSERT_NE(region, nullptr);
        bool found = false;
        for (float y = region->Pos.y; y < region->Pos.y + region->Size.y && !found; y += 5) {
            io.MousePos = ImVec2(region->Pos.x + 40, y);
            headless.Frame();
            found = gui.tree.hoveredElementPath == expected;
        }
        io.MousePos = ImVec2(-FLT_MAX, -FLT_MAX);
        EXPECT_TRUE(found);
    }

    // Find Text previews its hit at the bottom, opened down to it.
    gui.findText.shown = true;
    headless.Frame();
    headless.Frame();
    TypeText(headless, "bottom");
    ASSERT_TRUE(headless.FramesUntil(
        [&] { return gui.state->FullTextSearch("bottom", false).status == ResultStatus::Done; }, 300));
    headless.Frame();
    ImGuiWindow* preview = ScrollingRegionOf("Full-Text Search");
    ASSERT_NE(preview, nullptr);
    // Beside the main tree and the hit's row: the preview of a named element starts at it, an
    // unnamed one's at the document, a stretch of levels above the hit.
    const std::string drawn = FrameText(headless);
    EXPECT_GE(Occurrences(drawn, "bottom"), 3);
    EXPECT_EQ(Occurrences(drawn, Squash("levels above")), GetParam().named ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(Levels, DeepDocument,
                         ::testing::Values(Depth{10000, false}, Depth{10000, true}, Depth{1000000, false},
                                           Depth{1000000, true}),
                         [](const testing::TestParamInfo<Depth>& info) {
                             return std::to_string(info.param.levels) +
                                    (info.param.named ? "Named" : "Unnamed");
                         });
