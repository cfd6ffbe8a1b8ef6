#include "model/NodeReaders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// Every node of the subtree of `node`, pre-order, with an explicit stack.
template <class Visit> void EachNode(pugi::xml_node node, Visit&& visit)
{
    std::vector<pugi::xml_node> stack{node};
    while (!stack.empty()) {
        pugi::xml_node cur = stack.back();
        stack.pop_back();
        visit(cur);
        for (pugi::xml_node child = cur.last_child(); child; child = child.previous_sibling())
            stack.push_back(child);
    }
}

// The very same bytes of the document, not a copy; a missing name or value reads as some empty string.
void ExpectSameText(const char* direct, const char* library)
{
    if (*library)
        EXPECT_EQ(static_cast<const void*>(direct), static_cast<const void*>(library));
    else
        EXPECT_STREQ(direct, "");
}

void ExpectSameReading(const pugi::xml_document& document)
{
    size_t nodes = 0;
    EachNode(document, [&](pugi::xml_node node) {
        ++nodes;
        NodeHandle handle = node.internal_object();
        ASSERT_EQ(DirectNodeReader::Type(handle), node.type());
        ExpectSameText(DirectNodeReader::Name(handle), node.name());
        ExpectSameText(DirectNodeReader::Value(handle), node.value());
        ASSERT_EQ(DirectNodeReader::FirstChild(handle), node.first_child().internal_object());
        ASSERT_EQ(DirectNodeReader::NextSibling(handle), node.next_sibling().internal_object());
        ASSERT_EQ(LibraryNodeReader::FirstChild(handle), node.first_child().internal_object());
    });
    EXPECT_GT(nodes, 10u);
}
} // namespace

// The index walk reads nodes directly only when that reads what the library answers; with the
// library this program is built against it must, or every large document is indexed slowly.
TEST(NodeReaders, TheDirectReaderFitsTheLinkedLibrary)
{
    EXPECT_TRUE(DirectNodeReaderFits());
}

TEST(NodeReaders, EveryFieldOfEveryKindOfNodeReadsAsTheLibraryAnswers)
{
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE AUTOSAR>
<AUTOSAR xmlns="http://autosar.org/schema/r4.0" T="1">
  <!-- a comment -->
  <AR-PACKAGES><AR-PACKAGE UUID="u"><SHORT-NAME>P</SHORT-NAME>
    <ELEMENTS><A><SHORT-NAME>E</SHORT-NAME><R-REF DEST="A">/P/E</R-REF><EMPTY/></A>
      <B>mixed <I>inner</I> tail<![CDATA[/raw]]></B><?pi data?></ELEMENTS>
  </AR-PACKAGE></AR-PACKAGES>
</AUTOSAR>)";
    for (unsigned options :
         {pugi::parse_default, pugi::parse_full, pugi::parse_default | pugi::parse_embed_pcdata,
          pugi::parse_full | pugi::parse_ws_pcdata}) {
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(xml.c_str(), options)) << options;
        ExpectSameReading(document);
    }
}
