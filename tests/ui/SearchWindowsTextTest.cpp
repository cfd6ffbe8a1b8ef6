#include "ui/SearchWindowsText.h"

#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {
const char* kDocument = R"(<AUTOSAR>
  <AR-PACKAGES>
    <AR-PACKAGE><SHORT-NAME>Pkg</SHORT-NAME>
      <ELEMENTS>
        <ECU><SHORT-NAME>Elem</SHORT-NAME><DESC>needle</DESC></ECU>
        <ECU><SHORT-NAME>100%d</SHORT-NAME></ECU>
      </ELEMENTS>
    </AR-PACKAGE>
  </AR-PACKAGES>
</AUTOSAR>)";

pugi::xml_node Select(const pugi::xml_document& document, const char* xpath)
{
    return document.select_node(xpath).node();
}
} // namespace

TEST(FindRefInput, AddsTheLeadingSlashOnlyWhenMissing)
{
    EXPECT_EQ(NormaliseRefInput(""), "/");
    EXPECT_EQ(NormaliseRefInput("Pkg/Elem"), "/Pkg/Elem");
    // Everything else is looked up exactly as typed.
    EXPECT_EQ(NormaliseRefInput("/Pkg/Elem/"), "/Pkg/Elem/");
    EXPECT_EQ(NormaliseRefInput(" /Pkg"), "/ /Pkg");
    EXPECT_EQ(NormaliseRefInput("//Pkg"), "//Pkg");
}

TEST(ResultLabel, NamesTheNodeAndEndsWithTheRowIndex)
{
    auto document = ParseDocument(kDocument);
    pugi::xml_node desc = Select(*document, "//DESC");
    Ref element(desc);
    Ref text(desc.first_child());

    EXPECT_EQ(ResultLabel(element, 0), "/Pkg/Elem : DESC##0");
    EXPECT_EQ(ResultLabel(text, 1), "/Pkg/Elem : PC_DATA##1");
    EXPECT_NE(ResultLabel(element, 0), ResultLabel(element, 7));
    EXPECT_STREQ(NodeDisplayName(pugi::xml_node()), "");

    // Format characters in names stay as they are.
    Ref odd(Select(*document, "//ECU[2]/SHORT-NAME"));
    EXPECT_EQ(ResultLabel(odd, 12), "/Pkg/100%d : SHORT-NAME##12");
}

TEST(TrailAboveElement, StopsAboveTheNamedElement)
{
    auto document = ParseDocument(kDocument);
    pugi::xml_node ecu = Select(*document, "//ECU[1]");
    Ref inText(Select(*document, "//DESC").first_child());

    std::vector<TreeItem> prefix = TrailAboveElement(inText);
    ASSERT_EQ(prefix.size(), 5u); // document, AUTOSAR, AR-PACKAGES, AR-PACKAGE, ELEMENTS
    EXPECT_EQ(std::get<pugi::xml_node>(prefix.front()), *document);
    EXPECT_EQ(std::get<pugi::xml_node>(prefix.back()), ecu.parent());

    // A node above every SHORT-NAME belongs to the document node: nothing lies above it.
    Ref root(document->document_element());
    EXPECT_TRUE(TrailAboveElement(root).empty());
}

TEST(RefAt, IndexesOnlyAListThatExists)
{
    auto document = ParseDocument(kDocument);
    std::vector<Ref> refs{Ref(Select(*document, "//DESC")), Ref(Select(*document, "//ECU[2]"))};

    auto done = Result<std::vector<Ref>>::Value(refs);
    ASSERT_NE(RefAt(done, 1), nullptr);
    EXPECT_EQ((*RefAt(done, 1))->path, "/Pkg/100%d");
    EXPECT_EQ(RefAt(done, -1), nullptr);
    EXPECT_EQ(RefAt(done, 2), nullptr);

    EXPECT_NE(RefAt(Result<std::vector<Ref>>::Partial(refs, 0.5), 0), nullptr);
    EXPECT_EQ(RefAt(Result<std::vector<Ref>>::Error("No nodes reference this element."), 0), nullptr);
}
