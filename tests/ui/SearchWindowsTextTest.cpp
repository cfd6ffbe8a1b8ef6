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

TEST(SearchResults, LabelNamesTheNodeAndTheRow)
{
    auto document = ParseDocument(kDocument);
    pugi::xml_node desc = Select(*document, "//DESC");
    Ref element(desc);
    Ref text(desc.first_child());

    EXPECT_EQ(ResultLabel(element, 0), "/Pkg/Elem : DESC##0");
    EXPECT_EQ(ResultLabel(text, 1), "/Pkg/Elem : PC_DATA##1");
    EXPECT_STREQ(NodeDisplayName(pugi::xml_node()), "");

    // Format characters in names stay as they are.
    Ref odd(Select(*document, "//ECU[2]/SHORT-NAME"));
    EXPECT_EQ(ResultLabel(odd, 12), "/Pkg/100%d : SHORT-NAME##12");
}
