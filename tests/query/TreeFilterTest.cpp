#include "query/TreeFilter.h"
#include "query/TreeFilterService.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {

const char* kDocument = R"(<AUTOSAR><AR-PACKAGES>
  <AR-PACKAGE><SHORT-NAME>Body</SHORT-NAME><ELEMENTS>
    <I-SIGNAL><SHORT-NAME>SpeedSignal</SHORT-NAME></I-SIGNAL>
    <I-SIGNAL><SHORT-NAME>Door</SHORT-NAME></I-SIGNAL>
    <SYSTEM><SHORT-NAME>Sys</SHORT-NAME><MAPPING><SHORT-NAME>speedMap</SHORT-NAME></MAPPING></SYSTEM>
  </ELEMENTS></AR-PACKAGE>
  <AR-PACKAGE><SHORT-NAME>Chassis</SHORT-NAME><ELEMENTS>
    <I-SIGNAL><SHORT-NAME>Wheel</SHORT-NAME></I-SIGNAL>
    <I-SIGNAL><SHORT-NAME>SPÉED</SHORT-NAME></I-SIGNAL>
  </ELEMENTS></AR-PACKAGE>
</AR-PACKAGES></AUTOSAR>)";

class TreeFilterTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(document.load_string(kDocument)); }

    TreeFilterMatches Filter(const TreeFilterQuery& query)
    {
        TreeFilterMatcher matcher(query);
        EXPECT_EQ(matcher.Error(), "");
        std::atomic<bool> cancel{false};
        std::atomic<uint64_t> visited{0};
        std::atomic<size_t> matched{0};
        return FilterTree({document}, matcher, cancel, visited, matched);
    }

    std::vector<std::string> ListedPaths(const TreeFilterMatches& matches)
    {
        std::vector<std::string> paths;
        for (const auto& [path, node] : matches.listed)
            paths.push_back(path);
        return paths;
    }

    pugi::xml_node Node(const char* path) { return document.first_element_by_path(path); }

    pugi::xml_document document;
};

} // namespace

TEST_F(TreeFilterTest, ShortNameSubstringIgnoresAsciiCaseOnlyAndKeepsTheWayDown)
{
    const TreeFilterMatches matches = Filter({"SPEED", false, false});
    EXPECT_EQ(ListedPaths(matches), (std::vector<std::string>{"/Body/SpeedSignal", "/Body/Sys/speedMap"}))
        << "É is not an ASCII letter, so SPÉED does not match";
    EXPECT_EQ(matches.matchCount, 2u);

    // The way down: AUTOSAR > AR-PACKAGES > the Body package only > ELEMENTS > the signal and the system.
    const pugi::xml_node packages = Node("AUTOSAR/AR-PACKAGES");
    ASSERT_EQ(matches.shownChildren.count(packages.internal_object()), 1u);
    EXPECT_EQ(matches.shownChildren.at(packages.internal_object()).size(), 1u);
    const pugi::xml_node elements = Node("AUTOSAR/AR-PACKAGES/AR-PACKAGE/ELEMENTS");
    const auto& shown = matches.shownChildren.at(elements.internal_object());
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_STREQ(shown[0].node.name(), "I-SIGNAL");
    EXPECT_STREQ(shown[1].node.name(), "SYSTEM");
    EXPECT_EQ(shown[1].position, 2u) << "a kept child keeps its place among all its siblings";
    EXPECT_EQ(matches.shownChildren.count(shown[0].node.internal_object()), 0u)
        << "a match shows all its children";
}

TEST_F(TreeFilterTest, WholePathAndRegularExpressionModes)
{
    EXPECT_EQ(ListedPaths(Filter({"chassis/w", true, false})), (std::vector<std::string>{"/Chassis/Wheel"}));
    EXPECT_EQ(Filter({"chassis/w", false, false}).matchCount, 0u) << "the short name alone holds no slash";
    EXPECT_EQ(ListedPaths(Filter({"^(door|wheel)$", false, true})),
              (std::vector<std::string>{"/Body/Door", "/Chassis/Wheel"}));
    EXPECT_EQ(ListedPaths(Filter({"^/body/sys/", true, true})),
              (std::vector<std::string>{"/Body/Sys/speedMap"}));

    // The part of a row's short name to mark: where the match lies inside the name, or nothing.
    struct Mark
    {
        TreeFilterQuery query;
        const char* name;
        const char* path;
        size_t from, length; // length 0: nothing marked
    };
    for (const Mark& mark :
         std::vector<Mark>{{{"EED", false, false}, "SpeedSignal", "/Body/SpeedSignal", 2, 3},
                           {{"s.*l", false, true}, "SpeedSignal", "/B/SpeedSignal", 0, 11},
                           {{"body/sp", true, false}, "SpeedSignal", "/Body/SpeedSignal", 0, 2},
                           {{"body/", true, false}, "SpeedSignal", "/Body/SpeedSignal", 0, 0},
                           {{"x", false, false}, "SpeedSignal", "/Body/SpeedSignal", 0, 0}}) {
        std::optional<TextRange> marked = TreeFilterMatcher(mark.query).MarkInName(mark.name, mark.path);
        EXPECT_EQ(marked ? marked->from : 0, mark.from) << mark.query.text;
        EXPECT_EQ(marked ? marked->length : 0, mark.length) << mark.query.text;
    }

    TreeFilterMatcher broken({"(unclosed", false, true});
    EXPECT_NE(broken.Error(), "");
    EXPECT_FALSE(broken.Matches("(unclosed", "/(unclosed"));
}

TEST_F(TreeFilterTest, ServiceAnswersTheLatestQueryAndReportsBadExpressions)
{
    TreeFilterService service({document}, 40);
    const Result<TreeFilterMatches> first = service.Filter({"door", false, false});
    EXPECT_TRUE(first.status == ResultStatus::Pending || first.status == ResultStatus::Partial ||
                first.status == ResultStatus::Done);
    service.Filter({"wheel", false, false}); // replaces the first before it is read
    const Result<TreeFilterMatches> answer = PollUntilFinal([&] {
        return service.Filter({"wheel", false, false});
    });
    ASSERT_EQ(answer.status, ResultStatus::Done);
    EXPECT_EQ(ListedPaths(answer.GetValue()), (std::vector<std::string>{"/Chassis/Wheel"}));

    const Result<TreeFilterMatches> bad = PollUntilFinal([&] { return service.Filter({"[", false, true}); });
    EXPECT_EQ(bad.status, ResultStatus::Error);
    EXPECT_FALSE(bad.message.empty());
}

TEST(TreeFilterCancel, ACancelledWalkStopsEarly)
{
    std::string xml = "<R>";
    for (int i = 0; i < 20000; ++i)
        xml += "<E><SHORT-NAME>n" + std::to_string(i) + "</SHORT-NAME></E>";
    xml += "</R>";
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(xml.c_str()));
    TreeFilterMatcher matcher({"n", false, false});
    std::atomic<bool> cancel{true};
    std::atomic<uint64_t> visited{0};
    std::atomic<size_t> matched{0};
    const TreeFilterMatches matches = FilterTree({document}, matcher, cancel, visited, matched);
    EXPECT_LT(visited.load(), 20000u);
    EXPECT_LT(matches.matchCount, 20000u);
}

TEST(TreeFilterRoots, EachRootHasPathsOfItsOwnAndCountsItsMatches)
{
    pugi::xml_document first, empty, second;
    ASSERT_TRUE(
        first.load_string("<R><E><SHORT-NAME>A</SHORT-NAME><E><SHORT-NAME>Ab</SHORT-NAME></E></E></R>"));
    ASSERT_TRUE(
        second.load_string("<R><E><SHORT-NAME>B</SHORT-NAME><E><SHORT-NAME>Ab</SHORT-NAME></E></E></R>"));
    TreeFilterMatcher matcher({"^/[AB]/Ab$", true, true});
    std::atomic<bool> cancel{false};
    std::atomic<uint64_t> visited{0};
    std::atomic<size_t> matched{0};
    const TreeFilterMatches matches =
        FilterTree({first, pugi::xml_node(), second}, matcher, cancel, visited, matched);
    std::vector<std::string> paths;
    for (const auto& [path, node] : matches.listed)
        paths.push_back(path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/A/Ab", "/B/Ab"}));
    EXPECT_EQ(matches.matchesPerRoot, (std::vector<size_t>{1, 0, 1})) << "a root that is missing counts none";
    EXPECT_EQ(matches.shownChildren.count(second.internal_object()), 1u) << "the way down in the second root";
    EXPECT_EQ(visited.load(), 10u) << "the count of walked elements goes on across roots";
}
