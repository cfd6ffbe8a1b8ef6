#include "bench/DocumentGenerator.h"
#include "lifecycle/ReadyState.h"
#include "model/Index.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {
constexpr uint64_t kSmall = 2'000'000;
} // namespace

TEST(DocumentGenerator, SameSeedSameBytesOtherSeedOtherBytes)
{
    std::string a = GenerateArxml(kSmall, 1);
    EXPECT_EQ(a, GenerateArxml(kSmall, 1));
    EXPECT_NE(a, GenerateArxml(kSmall, 2));
    EXPECT_EQ(a.find(kGeneratedAbsentText), std::string::npos);
    for (const char* kind : {"<I-SIGNAL ", "<CAN-FRAME ", "<APPLICATION-SW-COMPONENT-TYPE ", "<L-2 L=\"EN\">",
                             "-TREF DEST=", "&amp;"})
        EXPECT_NE(a.find(kind), std::string::npos) << kind;
}

// Loaded through the engine: well-formed, and the reported counts are what the index finds.
TEST(DocumentGenerator, IsWellFormedArxmlWithTheCountsItReports)
{
    TempDir dir;
    std::string path = dir.File("generated.arxml");
    GeneratedDocument facts = WriteGeneratedArxmlFile(path, kSmall, 7);
    std::shared_ptr<State> state = OpenAndSettle(path);
    ASSERT_EQ(state->GetKind(), StateKind::Ready);
    pugi::xml_node root = state->document->document_element();
    EXPECT_STREQ(root.name(), "AUTOSAR");
    EXPECT_STREQ(root.attribute("xmlns").value(), "http://autosar.org/schema/r4.0");
    EXPECT_EQ(facts.bytes, std::filesystem::file_size(path));

    const Index& index = OnlyIndex(*state);
    size_t unresolved = 0;
    index.ForEachReferenceText([&](std::string_view text, std::span<const pugi::xml_node> nodes) {
        unresolved += index.FindPath(text) ? 0 : nodes.size();
    });
    EXPECT_EQ(index.ReferringNodeCount(), facts.references);
    EXPECT_EQ(unresolved, facts.dangling); // every other reference names an existing element
    EXPECT_GT(facts.dangling, 0u);
    EXPECT_EQ(index.PathCount(), facts.elements); // names are unique within their package
    EXPECT_GT(state->CountRefsTo(kGeneratedHotPath).GetValue(), 300u); // most signals of every cluster
}

TEST(DocumentGenerator, EcucShapeNestsDeeperAndRefersMoreOften)
{
    TempDir dir;
    std::string catalogue = dir.File("catalogue.arxml"), ecuc = dir.File("ecuc.arxml");
    GeneratedDocument flat = WriteGeneratedArxmlFile(catalogue, kSmall, 7);
    GeneratedDocument deep = WriteGeneratedArxmlFile(ecuc, kSmall, 7, GeneratedShape::Ecuc);
    EXPECT_EQ(GenerateArxml(kSmall, 7, GeneratedShape::Ecuc), GenerateArxml(kSmall, 7, GeneratedShape::Ecuc));
    EXPECT_GT(4 * deep.references * flat.bytes, 5 * flat.references * deep.bytes); // over 1.25 times as many

    std::shared_ptr<State> state = OpenAndSettle(ecuc);
    ASSERT_EQ(state->GetKind(), StateKind::Ready);
    const Index& index = OnlyIndex(*state);
    EXPECT_EQ(index.ReferringNodeCount(), deep.references);
    EXPECT_EQ(index.PathCount(), deep.elements); // names are unique among their siblings
    size_t deepest = 0;
    index.ForEachPath([&](std::string_view path, pugi::xml_node) {
        deepest = std::max<size_t>(deepest, std::count(path.begin(), path.end(), '/'));
    });
    EXPECT_GE(deepest, 7u);
    // Reference values point at containers of the same document.
    EXPECT_GT(state->CountRefsTo("/ActiveEcuC/Com/Set_0").GetValue(), 0u);
}
