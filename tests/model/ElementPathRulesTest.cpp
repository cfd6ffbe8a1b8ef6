// Which element a path or a short name names, checked against hand-written answers, before the
// index is built (walking the tree) and after (looking it up): both must agree, or Find Ref, Open
// Ref and bookmarks would jump elsewhere once indexing ends.
#include "lifecycle/IndexingState.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {

// The UUID of the element a lookup found, or its error message.
std::string Found(const Result<Ref>& result)
{
    if (result.status != ResultStatus::Done)
        return "error: " + result.message;
    return result.GetValue()->node.attribute("UUID").value();
}

class ElementPathRules : public ::testing::Test
{
protected:
    void Open(const std::string& xml)
    {
        indexing = std::make_shared<IndexingState>("paths.arxml", ParseDocument(xml));
        ready = OpenAndSettle(dir.Write("paths.arxml", xml));
        ASSERT_EQ(ready->GetKind(), StateKind::Ready);
    }

    // The same lookup while indexing and once ready; fails the test when they disagree.
    std::string ByPath(const std::string& path)
    {
        const std::string walked = Found(PollUntilFinal([&] { return indexing->FindRef(path); }));
        const std::string looked = Found(ready->FindRef(path));
        EXPECT_EQ(walked, looked) << path << ": the walk and the index disagree";
        return looked;
    }

    TempDir dir;
    std::shared_ptr<State> indexing;
    std::shared_ptr<State> ready;
};

} // namespace

TEST_F(ElementPathRules, TheFirstOfEqualPathsInDocumentOrderWins)
{
    Open(R"(<AUTOSAR><AR-PACKAGES>
      <AR-PACKAGE UUID="p1"><SHORT-NAME>P</SHORT-NAME><ELEMENTS>
        <I-SIGNAL UUID="e1"><SHORT-NAME>E</SHORT-NAME></I-SIGNAL>
        <I-SIGNAL UUID="e2"><SHORT-NAME>E</SHORT-NAME></I-SIGNAL>
      </ELEMENTS></AR-PACKAGE>
      <AR-PACKAGE UUID="p2"><SHORT-NAME>P</SHORT-NAME><ELEMENTS>
        <I-SIGNAL UUID="e3"><SHORT-NAME>E</SHORT-NAME></I-SIGNAL>
        <I-SIGNAL UUID="f3"><SHORT-NAME>F</SHORT-NAME></I-SIGNAL>
      </ELEMENTS></AR-PACKAGE>
    </AR-PACKAGES></AUTOSAR>)");
    EXPECT_EQ(ByPath("/P"), "p1");
    EXPECT_EQ(ByPath("/P/E"), "e1");
    EXPECT_EQ(ByPath("/P/F"), "f3"); // only in the second package of that name
    EXPECT_EQ(Found(ready->FindShortName("E")), "e1");
}

TEST_F(ElementPathRules, OnlyAChildNamedExactlySHORTNAMENamesItsParent)
{
    Open(R"(<AUTOSAR><AR-PACKAGES><AR-PACKAGE UUID="p"><SHORT-NAME>P</SHORT-NAME><ELEMENTS>
        <I-SIGNAL UUID="lower"><short-name>Lower</short-name><LENGTH UUID="len">8</LENGTH></I-SIGNAL>
        <I-SIGNAL UUID="mixed"><Short-Name>Mixed</Short-Name><SHORT-NAME>Upper</SHORT-NAME></I-SIGNAL>
        <I-SIGNAL UUID="spaced"><SHORT-NAME >Spaced</SHORT-NAME ></I-SIGNAL>
      </ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>)");
    EXPECT_EQ(ByPath("/P/Lower"), "error: Invalid Reference");
    EXPECT_EQ(ByPath("/P/Mixed"), "error: Invalid Reference");
    EXPECT_EQ(ByPath("/P/Upper"), "mixed");
    EXPECT_EQ(ByPath("/P/Spaced"), "spaced"); // blanks inside the tag are markup, not its name
    EXPECT_EQ(Found(ready->FindShortName("Lower")), "error: Could not find such an element.");
    EXPECT_EQ(Found(ready->FindShortName("Mixed")), "error: Could not find such an element.");
    EXPECT_EQ(Found(ready->FindShortName("Upper")), "mixed");

    // An element inside the unnamed one belongs to the package.
    pugi::xml_node length = ready->document->find_node(
        [](pugi::xml_node n) { return std::string(n.attribute("UUID").value()) == "len"; });
    ASSERT_TRUE(length);
    EXPECT_EQ(Ref(length)->path, "/P");
}

TEST_F(ElementPathRules, ASegmentMatchesAWholeShortNameOnly)
{
    Open(R"(<AUTOSAR><AR-PACKAGES>
      <AR-PACKAGE UUID="long"><SHORT-NAME>PackageLong</SHORT-NAME><ELEMENTS>
        <I-SIGNAL UUID="speed"><SHORT-NAME>EngineSpeed</SHORT-NAME></I-SIGNAL>
      </ELEMENTS></AR-PACKAGE>
      <AR-PACKAGE UUID="short"><SHORT-NAME>Package</SHORT-NAME><ELEMENTS>
        <I-SIGNAL UUID="engine"><SHORT-NAME>Engine</SHORT-NAME></I-SIGNAL>
      </ELEMENTS></AR-PACKAGE>
    </AR-PACKAGES></AUTOSAR>)");
    EXPECT_EQ(ByPath("/Package"), "short");
    EXPECT_EQ(ByPath("/Package/Engine"), "engine");
    EXPECT_EQ(ByPath("/PackageLong/Engine"), "error: Invalid Reference");
    EXPECT_EQ(ByPath("/Pack"), "error: Invalid Reference");
}

// The path is taken exactly as written, while indexing as once ready: a stray, doubled or missing
// "/" names nothing, unless names that are empty make it an element's own path.
TEST_F(ElementPathRules, APathIsTakenExactlyWhetherOrNotIndexingHasFinished)
{
    Open(R"(<AUTOSAR><AR-PACKAGES><AR-PACKAGE UUID="p"><SHORT-NAME>P</SHORT-NAME><ELEMENTS>
        <I-SIGNAL UUID="e"><SHORT-NAME>E</SHORT-NAME></I-SIGNAL>
        <I-SIGNAL UUID="blank"><SHORT-NAME></SHORT-NAME>
          <I-SIGNAL UUID="under-blank"><SHORT-NAME>U</SHORT-NAME></I-SIGNAL></I-SIGNAL>
      </ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>)");
    for (const char* malformed : {"/P/E/", "P/E", "/P//E", "", "/", "//P/E", "/P/E//"})
        EXPECT_EQ(ByPath(malformed), "error: Invalid Reference") << malformed;
    EXPECT_EQ(ByPath("/P/E"), "e");
    EXPECT_EQ(ByPath("/P/"), "blank");
    EXPECT_EQ(ByPath("/P//U"), "under-blank");
}
