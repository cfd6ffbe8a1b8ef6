#include "HeadlessGui.h"
#include "WindowProbe.h"

#include "support/TestDocuments.h"
#include "ui/ElementXml.h"

#include <gtest/gtest.h>

namespace {
const char* kDocument = "<AUTOSAR>\n"
                        "  <AR-PACKAGES>\n"
                        "    <AR-PACKAGE><SHORT-NAME>Pkg</SHORT-NAME>\n"
                        "      <ELEMENTS>\n"
                        "        <ECU a=\"1\"><SHORT-NAME>Elem</SHORT-NAME><DESC>x &lt; y</DESC></ECU>\n"
                        "      </ELEMENTS>\n"
                        "    </AR-PACKAGE>\n"
                        "  </AR-PACKAGES>\n"
                        "</AUTOSAR>\n";
} // namespace

TEST(ElementXml, PrintsTheElementWithItsLineAndCutsAtTwoMegabytes)
{
    auto document = ParseDocument(kDocument);
    pugi::xml_node ecu = document->select_node("//ECU").node();
    ElementXml xml = MakeElementXml(ecu, document);
    EXPECT_EQ(xml.text, "<ECU a=\"1\">\n  <SHORT-NAME>Elem</SHORT-NAME>\n  <DESC>x &lt; y</DESC>\n</ECU>\n");
    EXPECT_FALSE(xml.cut);
    EXPECT_EQ(xml.line, 5u);
    EXPECT_EQ(xml.lineStarts, (std::vector<size_t>{0, 12, 44, 68}));
    EXPECT_EQ(MakeElementXml(document->document_element(), document).line, 1u);

    std::string big = "<R>";
    for (int i = 0; i < 60000; ++i)
        big += "<V>some text \xc3\xa9 of forty bytes or so</V>\n";
    auto large = ParseDocument(big + "</R>");
    ElementXml cut = MakeElementXml(large->document_element(), large);
    EXPECT_TRUE(cut.cut);
    EXPECT_LE(cut.text.size(), ElementXml::kLimit);
    EXPECT_GT(cut.text.size(), ElementXml::kLimit - 8);
    EXPECT_EQ(cut.text.rfind("<R>", 0), 0u);

    std::atomic<bool> stop{true};
    EXPECT_TRUE(MakeElementXml(large->document_element(), large, &stop).text.empty())
        << "a stop ends the work";
}

TEST(ElementXml, TheElementWindowTogglesToItsXmlAndCopiesIt)
{
    TempDir files;
    HeadlessGui headless;
    ASSERT_TRUE(OpenDocument(headless, files.Write("xml.arxml", kDocument)));
    OpenElementWindow(headless.gui, "/Pkg/Elem");
    headless.Frame();
    EXPECT_FALSE(Drew(headless, "<SHORT-NAME>Elem</SHORT-NAME>"));
    ASSERT_TRUE(ClickDrawnText(headless, "View XML"));
    ASSERT_TRUE(headless.FramesUntil([&] { return Drew(headless, "<SHORT-NAME>Elem</SHORT-NAME>"); }, 30));
    EXPECT_TRUE(Drew(headless, "Line 5"));
    EXPECT_FALSE(Drew(headless, "PCDATA")) << "the XML takes the tree's place";

    ImGui::SetClipboardText("");
    ASSERT_TRUE(ClickDrawnText(headless, "Copy"));
    EXPECT_STREQ(ImGui::GetClipboardText(),
                 "<ECU a=\"1\">\n  <SHORT-NAME>Elem</SHORT-NAME>\n  <DESC>x &lt; y</DESC>\n</ECU>\n");

    ASSERT_TRUE(ClickDrawnText(headless, "View XML"));
    EXPECT_FALSE(Drew(headless, "<SHORT-NAME>Elem</SHORT-NAME>"));
    EXPECT_TRUE(Drew(headless, "Elem"));
}
