#include "model/Ref.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {
const char* kBody = R"(<AUTOSAR><AR-PACKAGES>
  <AR-PACKAGE><SHORT-NAME>Body</SHORT-NAME><ELEMENTS>
    <I-SIGNAL><SHORT-NAME>Speed</SHORT-NAME><DATA><TYPE-TREF DEST="X">/Types/UInt8</TYPE-TREF></DATA></I-SIGNAL>
  </ELEMENTS></AR-PACKAGE>
</AR-PACKAGES></AUTOSAR>)";

std::vector<pugi::xml_node> TrailNodes(const Ref& ref)
{
    std::vector<pugi::xml_node> nodes;
    for (const TreeItem& item : ref->trail)
        nodes.push_back(std::get<pugi::xml_node>(item));
    return nodes;
}
} // namespace

TEST(Ref, NamedElementGetsItsPathAndAFullTrail)
{
    auto doc = ParseDocument(kBody);
    pugi::xml_node speed = doc->first_element_by_path("AUTOSAR/AR-PACKAGES/AR-PACKAGE/ELEMENTS/I-SIGNAL");
    Ref ref(speed);
    EXPECT_EQ(ref->path, "/Body/Speed");
    EXPECT_EQ(ref->element, speed);
    EXPECT_EQ(ref->node, speed);
    std::vector<pugi::xml_node> trail = TrailNodes(ref);
    ASSERT_EQ(trail.size(), 6u); // document, AUTOSAR, AR-PACKAGES, AR-PACKAGE, ELEMENTS, I-SIGNAL
    EXPECT_EQ(trail.front(), pugi::xml_node(*doc));
    EXPECT_EQ(trail.back(), speed);
    EXPECT_EQ(trail[3].child_value("SHORT-NAME"), std::string("Body"));
}

TEST(Ref, UnnamedNodesBelongToTheirNearestNamedAncestor)
{
    auto doc = ParseDocument(kBody);
    pugi::xml_node speed = doc->first_element_by_path("AUTOSAR/AR-PACKAGES/AR-PACKAGE/ELEMENTS/I-SIGNAL");
    pugi::xml_node tref = speed.child("DATA").child("TYPE-TREF");
    Ref reference(tref);
    EXPECT_EQ(reference->path, "/Body/Speed");
    EXPECT_EQ(reference->element, speed);
    EXPECT_EQ(reference->node, tref);

    // The SHORT-NAME element and the text inside it belong to the element that owns them.
    EXPECT_EQ(Ref(speed.child("SHORT-NAME"))->path, "/Body/Speed");
    EXPECT_EQ(Ref(speed.child("SHORT-NAME").first_child())->element, speed);

    pugi::xml_node elements = speed.parent();
    EXPECT_EQ(Ref(elements)->path, "/Body");
    EXPECT_EQ(Ref(elements)->element, elements.parent());
}

TEST(Ref, DocumentLevelAndNullNodes)
{
    auto doc = ParseDocument(kBody);
    Ref top(*doc);
    EXPECT_EQ(top->path, "/");
    EXPECT_EQ(top->element, pugi::xml_node(*doc));
    EXPECT_EQ(top->trail.size(), 1u);
    EXPECT_EQ(Ref(doc->child("AUTOSAR"))->path, "/");
    EXPECT_EQ(Ref(doc->child("AUTOSAR"))->element, pugi::xml_node(*doc));

    Ref null{pugi::xml_node()};
    EXPECT_EQ(null->path, "");
    EXPECT_FALSE(null->element);
    EXPECT_FALSE(null->node);
    EXPECT_TRUE(null->trail.empty());
}

TEST(Ref, ShortNamesAreCopiedVerbatim)
{
    auto doc = ParseDocument("<R><P><SHORT-NAME>P</SHORT-NAME>"
                             "<X><SHORT-NAME></SHORT-NAME><Y><SHORT-NAME>Y</SHORT-NAME></Y></X>"
                             "<S><SHORT-NAME>a/b</SHORT-NAME></S></P></R>");
    pugi::xml_node x = doc->first_element_by_path("R/P/X");
    EXPECT_EQ(Ref(x)->path, "/P/");
    EXPECT_EQ(Ref(x.child("Y"))->path, "/P//Y");
    EXPECT_EQ(Ref(doc->first_element_by_path("R/P/S"))->path, "/P/a/b");
}

TEST(Ref, CopiesShareOneImmutableInternal)
{
    auto doc = ParseDocument(kBody);
    Ref a(doc->child("AUTOSAR"));
    Ref b = a;
    EXPECT_EQ(&*a, &*b);
}

TEST(Ref, TrailOfAKnownPathIsWalkedOnFirstReadAndAgreesWithAFullBuild)
{
    auto doc = ParseDocument(kBody);
    pugi::xml_node speed = doc->first_element_by_path("AUTOSAR/AR-PACKAGES/AR-PACKAGE/ELEMENTS/I-SIGNAL");
    Ref known(speed, "/Body/Speed");
    EXPECT_EQ(known->path, "/Body/Speed");
    EXPECT_EQ(known->element, speed);
    EXPECT_TRUE(known->trail == Ref(speed)->trail);
    std::vector<TreeItem> copied = known->trail; // as the tree view takes it
    EXPECT_EQ(copied, known->trail);
    EXPECT_EQ(copied.size(), 6u);
    EXPECT_FALSE(known->trail.empty());
}

// The trail is filled by whichever thread reads it first; every reader must see the one result.
TEST(Ref, TrailReadFromManyThreadsAtOnceIsWalkedOnce)
{
    auto doc = ParseDocument(kBody);
    pugi::xml_node tref =
        doc->first_element_by_path("AUTOSAR/AR-PACKAGES/AR-PACKAGE/ELEMENTS/I-SIGNAL/DATA/TYPE-TREF");
    for (int round = 0; round < 20; ++round) {
        Ref ref(tref, "/Body/Speed");
        std::vector<const std::vector<TreeItem>*> seen(4);
        std::vector<size_t> sizes(4);
        std::vector<std::thread> readers;
        for (size_t i = 0; i < seen.size(); ++i) {
            readers.emplace_back([&, i] {
                seen[i] = &ref->trail.Items();
                sizes[i] = ref->trail.size();
            });
        }
        for (std::thread& reader : readers)
            reader.join();
        for (size_t i = 0; i < seen.size(); ++i) {
            EXPECT_EQ(seen[i], seen[0]);
            EXPECT_EQ(sizes[i], 8u); // document .. TYPE-TREF
        }
    }
}
