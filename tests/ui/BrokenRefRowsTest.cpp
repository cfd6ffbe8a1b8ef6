#include "ui/BrokenRefRows.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

TEST(BrokenRefRows, FilterHideDefinitionsAndSortEachColumnBothWays)
{
    auto doc = ParseDocument("<R><A><SHORT-NAME>A</SHORT-NAME><DEFINITION-REF>/Def/X</DEFINITION-REF></A>"
                             "<B><SHORT-NAME>B</SHORT-NAME><X-REF>/Missing/Y</X-REF></B>"
                             "<C><SHORT-NAME>C</SHORT-NAME><X-REF>/Def/Z</X-REF></C></R>");
    pugi::xml_node r = doc->child("R");
    // As listed: most held first.
    const std::vector<BrokenRef> list = {
        {"/Def/X", 3, Ref(r.child("A").child("DEFINITION-REF").first_child()), "target missing"},
        {"/Missing/Y", 2, Ref(r.child("B").child("X-REF")), "unknown base"},
        {"/Def/Z", 1, Ref(r.child("C").child("X-REF")), "target missing"},
    };
    struct Case
    {
        BrokenRefView view;
        std::vector<int> rows;
    };
    const Case cases[] = {
        {{}, {0, 1, 2}},
        {{"/Def"}, {0, 2}},
        {{"", true}, {1, 2}}, // held by a DEFINITION-REF, through its text node
        {{"", false, 0}, {0, 2, 1}},
        {{"", false, 0, true}, {1, 2, 0}},
        {{"", false, 1}, {2, 1, 0}},
        {{"", false, 2}, {0, 2, 1}}, // equal reasons keep their order
        {{"", false, 2, true}, {1, 0, 2}},
        {{"", false, 3, true}, {2, 1, 0}}, // /C, /B, /A
        {{"/Def", true, 0}, {2}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BrokenRefRows(list, c.view), c.rows)
            << c.view.filter << " " << c.view.hideDefinitions << " " << c.view.sortColumn << " "
            << c.view.descending;
}
