#include "model/ReferenceBases.h"
#include "model/IndexBuilder.h"
#include "model/Ref.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {
std::string Base(const std::string& label, const std::string& isDefault, const std::string& target)
{
    return "<REFERENCE-BASE><SHORT-LABEL>" + label + "</SHORT-LABEL><IS-DEFAULT>" + isDefault +
           "</IS-DEFAULT><PACKAGE-REF DEST=\"AR-PACKAGE\">" + target + "</PACKAGE-REF></REFERENCE-BASE>";
}

std::string Package(const std::string& name, const std::string& bases, const std::string& inside)
{
    return "<AR-PACKAGE><SHORT-NAME>" + name + "</SHORT-NAME>" +
           (bases.empty() ? "" : "<REFERENCE-BASES>" + bases + "</REFERENCE-BASES>") + inside +
           "</AR-PACKAGE>";
}

// An element E<n> holding `reference` in the ELEMENTS of a package.
std::string Elements(const std::vector<std::string>& references)
{
    std::string xml = "<ELEMENTS>";
    for (size_t i = 0; i < references.size(); ++i)
        xml += "<E><SHORT-NAME>E" + std::to_string(i) + "</SHORT-NAME>" + references[i] + "</E>";
    return xml + "</ELEMENTS>";
}

struct Indexed
{
    std::shared_ptr<pugi::xml_document> doc;
    Index index;
};

std::unique_ptr<Indexed> IndexWithBases(const std::string& xml)
{
    auto built = std::make_unique<Indexed>();
    built->doc = ParseDocument(xml);
    ReferenceBases bases;
    bases.Collect(*built->doc);
    bases.Finish();
    uint64_t nodes = 0;
    std::atomic<bool> stop{false};
    BuildIndexInto(built->index, nodes, *built->doc, "", stop, &bases);
    return built;
}

// What the reference held by the element at `path` came to: its absolute text, or "! reason".
std::string Outcome(const Indexed& built, const std::string& path)
{
    pugi::xml_node holder = built.index.FindPath(path).first_child().next_sibling();
    if (std::string_view resolved = built.index.ResolvedReference(holder); !resolved.empty())
        return std::string(resolved);
    for (const Index::UnresolvedReference& unresolved : built.index.UnresolvedReferences()) {
        if (unresolved.node == holder)
            return std::string("! ") + RelativeFailureText(unresolved.failure);
    }
    return "plain";
}
} // namespace

TEST(ReferenceBases, EachRelativeReferenceResolvesThroughTheNearestBaseOrSaysWhyNot)
{
    struct Case
    {
        const char* holder;
        const char* expected;
    };
    const std::vector<Case> inner{
        {"<A-REF BASE=\"T\">X</A-REF>", "/Near/X"},     // the nearest package's label wins
        {"<A-REF BASE=\"Far\">X</A-REF>", "/Far/X"},    // an outer package's label
        {"<A-REF>X</A-REF>", "/Inner/X"},               // the inner default, written " 1 "
        {"<A-REF BASE=\"Self\">X</A-REF>", "/Outer/X"}, // BASE-IS-THIS-PACKAGE written "true"
        {"<A-REF BASE=\"Nowhere\">X</A-REF>", "! unknown base"},
        {"<A-REF BASE=\"Rel\">X</A-REF>", "! base not absolute"},   // its package ref is relative
        {"<A-REF BASE=\"Empty\">X</A-REF>", "! base not absolute"}, // its package ref is empty
        {"<A-TREF BASE=\"T\">X</A-TREF>", "/Near/X"},
        {"<DESC BASE=\"T\">X</DESC>", "/Near/X"}, // BASE alone makes a reference
        {"<DESC>X</DESC>", "plain"},              // no reference at all
        {"<DESC L=\"EN\">X</DESC>", "plain"},     // attributes, but no BASE
        {"<REF>X</REF>", "plain"},                // the tag's ending needs its "-"
        {"<ATREF>X</ATREF>", "plain"},
        {"<A-REFS>X</A-REFS>", "plain"},
        {"<A-REF>/Abs/X</A-REF>", "plain"}, // absolute: a reference text of its own
    };
    const std::string outer = Base("T", "false", "/Far") + Base("Far", "false", "/Far") +
                              Base("Rel", "false", "Types") + Base("Empty", "false", "") +
                              "<REFERENCE-BASE><SHORT-LABEL>Self</SHORT-LABEL>"
                              "<BASE-IS-THIS-PACKAGE>true</BASE-IS-THIS-PACKAGE></REFERENCE-BASE>";
    std::vector<std::string> holders;
    for (const Case& c : inner)
        holders.push_back(c.holder);
    auto built = IndexWithBases(
        "<AUTOSAR><AR-PACKAGES>" +
        Package("Outer", outer,
                "<AR-PACKAGES>" +
                    Package("Inner", Base("T", "false", "/Near") + Base("D", " 1 ", "/Inner"),
                            Elements(holders)) +
                    Package("NoDefault", "", Elements({"<A-REF>X</A-REF>"})) + "</AR-PACKAGES>") +
        Package("Bare", "", Elements({"<A-REF BASE=\"T\">X</A-REF>"})) + "</AR-PACKAGES></AUTOSAR>");
    for (size_t i = 0; i < inner.size(); ++i)
        EXPECT_EQ(Outcome(*built, "/Outer/Inner/E" + std::to_string(i)), inner[i].expected)
            << inner[i].holder;
    EXPECT_EQ(Outcome(*built, "/Outer/NoDefault/E0"), "! no default base");
    EXPECT_EQ(Outcome(*built, "/Bare/E0"), "! unknown base"); // outside every package with bases

    // A base's own package ref is never resolved against the default base: absolute, it is an
    // ordinary reference; relative, it names nothing.
    EXPECT_EQ(built->index.Referrers("/Far").size(), 2u);
    EXPECT_TRUE(built->index.Referrers("/Inner/Types").empty());
    size_t ownRefs = 0;
    for (const Index::UnresolvedReference& unresolved : built->index.UnresolvedReferences())
        ownRefs += std::string_view(unresolved.node.name()) == "PACKAGE-REF";
    EXPECT_EQ(ownRefs, 1u);
}

// Thousands of bases in one package and many more references through them: each resolves to the
// base its label names (the time it takes is measured by scripts/relative-reference-flood.py).
TEST(ReferenceBases, AFloodOfBasesAndRelativeReferencesResolvesEveryOne)
{
    constexpr int kBases = 3000, kSubPackages = 10, kPerPackage = 1000;
    std::string xml = "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><REFERENCE-BASES>";
    for (int b = 0; b < kBases; ++b)
        xml += Base("B" + std::to_string(b), "false", "/P/S" + std::to_string(b % kSubPackages));
    xml += "</REFERENCE-BASES><AR-PACKAGES>";
    for (int s = 0; s < kSubPackages; ++s) {
        std::vector<std::string> holders;
        for (int e = 0; e < kPerPackage; ++e)
            holders.push_back("<T-REF BASE=\"B" + std::to_string((s * kPerPackage + e) * 7919 % kBases) +
                              "\">E" + std::to_string(e) + "</T-REF>");
        xml += Package("S" + std::to_string(s), "", Elements(holders));
    }
    auto built = IndexWithBases(xml + "</AR-PACKAGES></AR-PACKAGE></AR-PACKAGES></AUTOSAR>");
    EXPECT_EQ(built->index.RelativeReferenceCount(), size_t(kSubPackages * kPerPackage));
    EXPECT_TRUE(built->index.UnresolvedReferences().empty());
    for (int s = 0; s < kSubPackages; ++s) {
        const int e = 17, label = (s * kPerPackage + e) * 7919 % kBases;
        EXPECT_EQ(Outcome(*built, "/P/S" + std::to_string(s) + "/E" + std::to_string(e)),
                  "/P/S" + std::to_string(label % kSubPackages) + "/E17");
    }
}
