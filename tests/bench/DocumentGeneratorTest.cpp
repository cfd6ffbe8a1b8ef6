#include "bench/DocumentGenerator.h"
#include "query/ReadyState.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace {
constexpr uint64_t kSmall = 2'000'000;

// One generated document, loaded through the engine, shared by the tests of this file.
class GeneratedDocumentTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir = std::make_unique<TempDir>();
        path = dir->File("generated.arxml");
        facts = WriteGeneratedArxmlFile(path, kSmall, 7);
        state = OpenAndSettle(path);
    }
    static void TearDownTestSuite()
    {
        state.reset();
        dir.reset();
    }

    static const Index& GetIndex() { return static_cast<ReadyState&>(*state).GetIndex(); }

    static std::unique_ptr<TempDir> dir;
    static std::string path;
    static GeneratedDocument facts;
    static std::shared_ptr<State> state;
};
std::unique_ptr<TempDir> GeneratedDocumentTest::dir;
std::string GeneratedDocumentTest::path;
GeneratedDocument GeneratedDocumentTest::facts;
std::shared_ptr<State> GeneratedDocumentTest::state;
} // namespace

TEST(DocumentGenerator, SameSeedSameBytesOtherSeedOtherBytes)
{
    std::string a = GenerateArxml(kSmall, 1);
    EXPECT_EQ(a, GenerateArxml(kSmall, 1));
    EXPECT_NE(a, GenerateArxml(kSmall, 2));
}

TEST(DocumentGenerator, SizeFollowsTheRequestWithinOneCluster)
{
    std::string tiny = GenerateArxml(1, 1); // never less than one cluster
    std::string larger = GenerateArxml(10'000'000, 1);
    EXPECT_GT(tiny.size(), 100'000u);
    EXPECT_LE(larger.size(), 10'000'000u);
    EXPECT_GT(larger.size(), 10'000'000u - 2 * tiny.size());
}

TEST_F(GeneratedDocumentTest, IsWellFormedArxmlWithTheAutosarNamespace)
{
    ASSERT_TRUE(state);
    ASSERT_EQ(state->GetKind(), StateKind::Ready);
    pugi::xml_node root = state->document->document_element();
    EXPECT_STREQ(root.name(), "AUTOSAR");
    EXPECT_STREQ(root.attribute("xmlns").value(), "http://autosar.org/schema/r4.0");
    EXPECT_EQ(facts.bytes, std::filesystem::file_size(path));
}

TEST_F(GeneratedDocumentTest, ReportedCountsMatchWhatTheIndexFinds)
{
    ASSERT_TRUE(state);
    const Index& index = GetIndex();
    size_t referringNodes = 0, unresolved = 0;
    for (const auto& [text, nodes] : index.referrers) {
        referringNodes += nodes.size();
        if (!index.byPath.count(text))
            unresolved += nodes.size();
    }
    EXPECT_EQ(referringNodes, facts.references);
    EXPECT_EQ(unresolved, facts.dangling); // every other reference names an existing element
    EXPECT_GT(facts.dangling, 0u);
    EXPECT_EQ(index.byPath.size(), facts.elements); // names are unique within their package
}

TEST_F(GeneratedDocumentTest, HasHotTargetsDeepPathsAndAnAbsentText)
{
    ASSERT_TRUE(state);
    EXPECT_GT(state->CountRefsTo(kGeneratedHotPath).GetValue(), 300u); // most signals of every cluster
    EXPECT_EQ(state->FindRef(kGeneratedHotPath).status, ResultStatus::Done);
    size_t deepest = 0;
    for (const auto& entry : GetIndex().byPath)
        deepest = std::max<size_t>(deepest, std::count(entry.first.begin(), entry.first.end(), '/'));
    EXPECT_GE(deepest, 5u);

    std::string text = GenerateArxml(kSmall, 7);
    EXPECT_EQ(text.find(kGeneratedAbsentText), std::string::npos);
    for (const char* kind : {"<I-SIGNAL ", "<I-SIGNAL-I-PDU ", "<CAN-FRAME ", "<SYSTEM-SIGNAL ",
                             "<APPLICATION-SW-COMPONENT-TYPE ", "<ECU-INSTANCE ", "<PORTS>", "<L-2 L=\"EN\">",
                             "-TREF DEST=", "&amp;"})
        EXPECT_NE(text.find(kind), std::string::npos) << kind;
}
