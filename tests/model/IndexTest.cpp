#include "model/IndexBuilder.h"
#include "model/NodeText.h"
#include "model/Ref.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <span>
#include <vector>

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

    ASSERT_TRUE(b.index.FindPath("/P"));
    EXPECT_STREQ(b.index.FindPath("/P").attribute("UUID").value(), "1");
    EXPECT_STREQ(b.index.FindPath("/P/E").name(), "A");
    EXPECT_STREQ(b.index.FindPath("/P/F").name(), "C"); // elements of the second P still index under /P
    EXPECT_STREQ(b.index.FindShortName("E")->node.name(), "A");
    EXPECT_EQ(b.index.FindShortName("E")->path, "/P/E");
    EXPECT_EQ(b.index.ShortNameCount(), 3u);
    EXPECT_EQ(b.index.PathCount(), 3u);

    // Referrers: only texts starting with '/', any tag, in document order; "/" alone counts.
    std::span<const pugi::xml_node> refs = b.index.Referrers("/P/E");
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_STREQ(refs[0].name(), "R-REF");
    EXPECT_STREQ(refs[1].name(), "X-TREF");
    EXPECT_TRUE(b.index.Referrers(" /P/E").empty());
    EXPECT_EQ(b.index.Referrers("/").size(), 1u);
    EXPECT_EQ(b.index.ReferenceTextCount(), 2u);
    EXPECT_EQ(b.index.ReferringNodeCount(), 3u);
}

TEST(Index, CdataReferrersListTheElementThenTheCdataNode)
{
    Built b = Build("<R><P><SHORT-NAME>P</SHORT-NAME><X-REF><![CDATA[/P]]></X-REF></P></R>");
    std::span<const pugi::xml_node> refs = b.index.Referrers("/P");
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs[0].type(), pugi::node_element);
    EXPECT_EQ(refs[1].type(), pugi::node_cdata);
    EXPECT_EQ(refs[1].parent(), refs[0]);
}

TEST(Index, UnusualShortNamesAndDocumentsWithoutNames)
{
    Built b =
        Build("<R><P><SHORT-NAME>P</SHORT-NAME><X><SHORT-NAME></SHORT-NAME><Y><SHORT-NAME>Y</SHORT-NAME>"
              "</Y></X><S><SHORT-NAME>a/b</SHORT-NAME></S></P></R>");
    EXPECT_TRUE(b.index.FindPath("/P/"));
    EXPECT_TRUE(b.index.FindPath("/P//Y"));
    EXPECT_TRUE(b.index.FindPath("/P/a/b"));
    EXPECT_FALSE(b.index.FindPath("/P/a"));
    EXPECT_FALSE(b.index.FindPath("P/a/b"));
    // The index and Ref compute the same path for every named node.
    b.index.ForEachPath([](std::string_view path, pugi::xml_node node) { EXPECT_EQ(Ref(node)->path, path); });

    Built unnamed = Build("<R><A>/x/y</A><B/></R>");
    EXPECT_EQ(unnamed.index.PathCount(), 0u);
    EXPECT_EQ(unnamed.index.ShortNameCount(), 0u);
    EXPECT_EQ(unnamed.index.Referrers("/x/y").size(), 1u);
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
    EXPECT_EQ(index.PathCount(), 0u);
}

TEST(Index, RootElementNamedShortNameKeepsIndexAndRefInAgreement)
{
    Built b = Build("<SHORT-NAME>Top</SHORT-NAME>");
    ASSERT_EQ(b.index.PathCount(), 1u);
    pugi::xml_node node = b.index.FindPath("/Top");
    ASSERT_TRUE(node);
    EXPECT_EQ(Ref(node)->path, "/Top");
}

// Whole paths kept per element would need depth² bytes here (tens of gigabytes).
TEST(Index, DeepChainsOfNamedElementsCostMemoryByNamesNotByPathLengths)
{
    constexpr int kDepth = 200000;
    std::string xml, path;
    for (int i = 0; i < kDepth; ++i)
        xml += "<E><SHORT-NAME>N" + std::to_string(i % 10) + "</SHORT-NAME>";
    for (int i = 0; i < kDepth; ++i) {
        xml += "</E>";
        path += "/N" + std::to_string(i % 10);
    }
    Built b = Build(xml);
    EXPECT_EQ(b.index.PathCount(), size_t(kDepth));
    EXPECT_EQ(b.index.ShortNameCount(), 10u);
    pugi::xml_node deepest = b.index.FindPath(path);
    ASSERT_TRUE(deepest);
    EXPECT_FALSE(deepest.child("E"));
    EXPECT_FALSE(b.index.FindPath(path + "/N0"));
    EXPECT_EQ(b.index.FindShortName("N9")->path, path.substr(0, 30)); // the first N9 is the tenth level
}

namespace {
// What one plain walk in document order expects: the first node per path and per short name,
// every referring node per text in order.
struct Expected
{
    std::map<std::string, pugi::xml_node> byPath;
    std::map<std::string, pugi::xml_node> byShortName;
    std::map<std::string, std::vector<pugi::xml_node>> referrers;
    uint64_t nodes = 0;
};

void Expect(pugi::xml_node node, Expected& expected)
{
    ++expected.nodes;
    if (pugi::xml_node shortName = ShortNameChild(node)) {
        expected.byPath.try_emplace(Ref(node)->path, node);
        expected.byShortName.try_emplace(shortName.text().get(), node);
    }
    if (node.type() != pugi::node_pcdata && IsReferenceText(NodeText(node)))
        expected.referrers[NodeText(node)].push_back(node);
    for (pugi::xml_node child : node.children())
        Expect(child, expected);
}
} // namespace

// Wide and deep enough that the build shares it out in many pieces: every key must still go to
// the node that comes first in document order, and referrers must stay in document order.
TEST(Index, ManyPiecesGiveTheAnswersOfOneWalk)
{
    std::string xml = "<AUTOSAR><AR-PACKAGES>";
    for (int p = 0; p < 60; ++p) {
        // Package names repeat (P0 to P19, three times), as do element names across packages.
        xml += "<AR-PACKAGE><SHORT-NAME>P" + std::to_string(p % 20) + "</SHORT-NAME><ELEMENTS>";
        for (int e = 0; e < 40; ++e) {
            std::string name = "E" + std::to_string((e * 7 + p) % 50);
            xml += "<X><SHORT-NAME>" + name + "</SHORT-NAME><T-REF>/P" + std::to_string((p + e) % 25) + "/" +
                   name + "</T-REF><V>" + (e % 3 ? "plain" : "/") + "</V></X>";
        }
        xml += "<Unnamed><Deep><X><SHORT-NAME>In" + std::to_string(p) + "</SHORT-NAME></X></Deep></Unnamed>";
        xml += "</ELEMENTS></AR-PACKAGE>";
    }
    xml += "</AR-PACKAGES></AUTOSAR>";
    Built b = Build(xml);
    Expected expected;
    Expect(*b.doc, expected);

    EXPECT_EQ(b.index.PathCount(), expected.byPath.size());
    for (const auto& [path, node] : expected.byPath)
        EXPECT_EQ(b.index.FindPath(path), node) << path;
    EXPECT_EQ(b.index.ShortNameCount(), expected.byShortName.size());
    for (const auto& [name, node] : expected.byShortName) {
        std::optional<Index::Named> found = b.index.FindShortName(name);
        ASSERT_TRUE(found) << name;
        EXPECT_EQ(found->node, node) << name;
        EXPECT_EQ(found->path, Ref(node)->path) << name;
    }
    EXPECT_EQ(b.index.ReferenceTextCount(), expected.referrers.size());
    for (const auto& [text, nodes] : expected.referrers) {
        std::span<const pugi::xml_node> found = b.index.Referrers(text);
        EXPECT_EQ(std::vector<pugi::xml_node>(found.begin(), found.end()), nodes) << text;
    }
    EXPECT_EQ(b.nodes, expected.nodes);
}
