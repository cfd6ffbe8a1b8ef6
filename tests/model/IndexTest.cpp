#include "model/IndexBuilder.h"
#include "model/Ref.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {
struct Built
{
    std::shared_ptr<pugi::xml_document> doc;
    Index index;
    uint64_t nodes = 0;
};

Built Build(const std::string& xml)
{
    Built built;
    built.doc = ParseDocument(xml);
    std::atomic<bool> stop{false};
    BuildIndexInto(built.index, built.nodes, *built.doc, "", stop);
    return built;
}
} // namespace

TEST(Index, PathsShortNamesAndReferrersFirstWins)
{
    Built b = Build(R"(<AUTOSAR><AR-PACKAGES>
      <AR-PACKAGE UUID="1"><SHORT-NAME>P</SHORT-NAME><ELEMENTS>
        <A><SHORT-NAME>E</SHORT-NAME><R-REF DEST="A">/P/E</R-REF></A>
      </ELEMENTS></AR-PACKAGE>
      <AR-PACKAGE UUID="2"><SHORT-NAME>P</SHORT-NAME><ELEMENTS>
        <B><SHORT-NAME>E</SHORT-NAME></B>
        <C><SHORT-NAME>F</SHORT-NAME><X-TREF>/P/E</X-TREF><Y> /P/E</Y><Z>/</Z></C>
      </ELEMENTS></AR-PACKAGE>
    </AR-PACKAGES></AUTOSAR>)");

    ASSERT_EQ(b.index.byPath.count("/P"), 1u);
    EXPECT_STREQ(b.index.byPath.at("/P").attribute("UUID").value(), "1");
    EXPECT_STREQ(b.index.byPath.at("/P/E").name(), "A");
    EXPECT_STREQ(b.index.byPath.at("/P/F").name(), "C"); // elements of the second P still index under /P
    EXPECT_STREQ(b.index.byShortName.at("E").name(), "A");
    EXPECT_EQ(b.index.byShortName.size(), 3u);

    // Referrers: only texts starting with '/', any tag, in document order; "/" alone counts.
    ASSERT_EQ(b.index.referrers.count("/P/E"), 1u);
    const auto& refs = b.index.referrers.at("/P/E");
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_STREQ(refs[0].name(), "R-REF");
    EXPECT_STREQ(refs[1].name(), "X-TREF");
    EXPECT_EQ(b.index.referrers.count(" /P/E"), 0u);
    EXPECT_EQ(b.index.referrers.at("/").size(), 1u);
}

TEST(Index, CdataReferrersListTheElementThenTheCdataNode)
{
    Built b = Build("<R><P><SHORT-NAME>P</SHORT-NAME><X-REF><![CDATA[/P]]></X-REF></P></R>");
    const auto& refs = b.index.referrers.at("/P");
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs[0].type(), pugi::node_element);
    EXPECT_EQ(refs[1].type(), pugi::node_cdata);
    EXPECT_EQ(refs[1].parent(), refs[0]);
}

TEST(Index, UnusualShortNamesAndDocumentsWithoutNames)
{
    Built b = Build("<R><P><SHORT-NAME>P</SHORT-NAME><X><SHORT-NAME></SHORT-NAME><Y><SHORT-NAME>Y</SHORT-NAME>"
                    "</Y></X><S><SHORT-NAME>a/b</SHORT-NAME></S></P></R>");
    EXPECT_EQ(b.index.byPath.count("/P/"), 1u);
    EXPECT_EQ(b.index.byPath.count("/P//Y"), 1u);
    EXPECT_EQ(b.index.byPath.count("/P/a/b"), 1u);
    // The index and Ref compute the same path for every named node.
    for (const auto& [path, node] : b.index.byPath)
        EXPECT_EQ(Ref(node)->path, path);

    Built unnamed = Build("<R><A>/x/y</A><B/></R>");
    EXPECT_TRUE(unnamed.index.byPath.empty());
    EXPECT_TRUE(unnamed.index.byShortName.empty());
    EXPECT_EQ(unnamed.index.referrers.at("/x/y").size(), 1u);
}

TEST(Index, CountsEveryNodeIncludingTextAndDocument)
{
    // document, R, P, SHORT-NAME, "P" text, V, "/P" text
    Built b = Build("<R><P><SHORT-NAME>P</SHORT-NAME><V>/P</V></P></R>");
    EXPECT_EQ(b.nodes, 7u);
}

TEST(Index, StopRequestCountsButDoesNotDescend)
{
    auto doc = ParseDocument("<R><P><SHORT-NAME>P</SHORT-NAME></P></R>");
    Index index;
    uint64_t nodes = 0;
    std::atomic<bool> stop{true};
    BuildIndexInto(index, nodes, *doc, "", stop);
    EXPECT_EQ(nodes, 1u);
    EXPECT_TRUE(index.byPath.empty());
}

TEST(Index, RootElementNamedShortNameKeepsIndexAndRefInAgreement)
{
    Built b = Build("<SHORT-NAME>Top</SHORT-NAME>");
    ASSERT_EQ(b.index.byPath.size(), 1u);
    const auto& [path, node] = *b.index.byPath.begin();
    EXPECT_EQ(path, "/Top");
    EXPECT_EQ(Ref(node)->path, path);
}
