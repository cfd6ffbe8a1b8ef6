// The engine's fast paths (two-pass parallel index build, Refs from known paths or with a memo of
// short names, the document memory) must give exactly what the plain rules give.
#include "bench/DocumentGenerator.h"
#include "bench/Measure.h"
#include "document/DocumentMemory.h"
#include "model/IndexBuilder.h"
#include "model/IndexingState.h"
#include "model/NodeText.h"
#include "model/Ref.h"
#include "query/ReadyState.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {
// The index build written as plainly as the rules read: one recursive pre-order pass.
void PlainBuild(Index& index, uint64_t& count, pugi::xml_node node, std::string path)
{
    ++count;
    if (pugi::xml_node shortName = ShortNameChild(node)) {
        path += '/';
        path += shortName.text().get();
        index.byPath.try_emplace(path, node);
        index.byShortName.try_emplace(shortName.text().get(), node);
    }
    if (node.type() != pugi::node_pcdata) {
        const char* text = NodeText(node);
        if (text[0] == '/')
            index.referrers[text].push_back(node);
    }
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        PlainBuild(index, count, child, path);
}

void ExpectSameRef(const Ref& fast, const Ref& plain)
{
    EXPECT_EQ(fast->path, plain->path);
    EXPECT_EQ(fast->element, plain->element);
    EXPECT_EQ(fast->node, plain->node);
    EXPECT_TRUE(fast->trail == plain->trail) << plain->path;
}

// Small documents with the awkward cases, a generated one, and the real files when present.
std::vector<std::shared_ptr<pugi::xml_document>> Documents()
{
    std::vector<std::shared_ptr<pugi::xml_document>> docs;
    for (const char* xml : {
             "<SHORT-NAME>root<X><SHORT-NAME>x</SHORT-NAME>/x</X></SHORT-NAME>",
             "<A><P><SHORT-NAME>P</SHORT-NAME><X><SHORT-NAME></SHORT-NAME><Y><SHORT-NAME>Y</SHORT-NAME></Y></"
             "X></P>"
             "<P><SHORT-NAME>P</SHORT-NAME><R>/P//Y</R><R><![CDATA[/P]]></R><L><SHORT-NAME>a/b</SHORT-NAME></"
             "L></P></A>",
             "<A><E><B/><C/><D/><SHORT-NAME>late</SHORT-NAME><Q> /not</Q><Q>/</Q></E></A>",
         })
        docs.push_back(ParseDocument(xml));
    auto generated = std::make_shared<pugi::xml_document>();
    std::string text = GenerateArxml(1, 3);
    EXPECT_EQ(generated->load_buffer(text.data(), text.size()).status, pugi::status_ok);
    docs.push_back(generated);
    for (const auto& file : SharedArxmlFiles()) {
        auto doc = std::make_shared<pugi::xml_document>();
        if (doc->load_file(file.c_str()).status == pugi::status_ok)
            docs.push_back(doc);
    }
    return docs;
}
} // namespace

TEST(FastPaths, ParallelIndexBuildEqualsOnePlainPass)
{
    for (const auto& doc : Documents()) {
        Index fast, plain;
        uint64_t fastCount = 0, plainCount = 0;
        std::atomic<bool> stop{false};
        BuildIndexInto(fast, fastCount, *doc, "", stop);
        PlainBuild(plain, plainCount, *doc, "");
        EXPECT_EQ(fastCount, plainCount);
        EXPECT_TRUE(fast.byPath == plain.byPath);
        EXPECT_TRUE(fast.byShortName == plain.byShortName);
        EXPECT_TRUE(fast.referrers == plain.referrers);
    }
}

TEST(FastPaths, StoppedBuildStillCountsTheNodesItMeets)
{
    auto doc = ParseDocument("<A><B><C/></B><D/></A>");
    Index index;
    uint64_t count = 0;
    std::atomic<bool> stop{true};
    BuildIndexInto(index, count, *doc, "", stop);
    EXPECT_EQ(count, 1u); // the document node only: nothing below it is visited
    EXPECT_TRUE(index.byPath.empty() && index.byShortName.empty() && index.referrers.empty());
}

TEST(FastPaths, RefsFromKnownPathsAndFromTheMemoEqualPlainRefs)
{
    for (const auto& doc : Documents()) {
        Index index;
        uint64_t count = 0;
        std::atomic<bool> stop{false};
        BuildIndexInto(index, count, *doc, "", stop);
        ShortNameMemo memo;
        for (const auto& [path, node] : index.byPath) {
            ExpectSameRef(Ref(node, path), Ref(node));
            ExpectSameRef(Ref(node, memo), Ref(node));
        }
        for (const auto& [text, nodes] : index.referrers) {
            for (pugi::xml_node node : nodes)
                ExpectSameRef(Ref(node, memo), Ref(node));
        }
        // The memo answers like ShortNameChild for every node, containers asked twice included.
        for (int round = 0; round < 2; ++round) {
            ASSERT_EQ(memo.Find(*doc), ShortNameChild(*doc));
            for (const pugi::xpath_node& found : doc->select_nodes("//*|//text()"))
                ASSERT_EQ(memo.Find(found.node()), ShortNameChild(found.node()));
        }
    }
}

TEST(DocumentMemory, BlocksAreAlignedWritableAndReusable)
{
    std::vector<std::pair<char*, size_t>> blocks;
    for (size_t size :
         {size_t(1), size_t(24), size_t(32768 + 64), size_t(1) << 20, size_t(5) << 20, size_t(17) << 20}) {
        for (int i = 0; i < 3; ++i) {
            auto* block = static_cast<char*>(AllocateDocumentMemory(size));
            ASSERT_NE(block, nullptr);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
            std::memset(block, 0x5a, size);
            blocks.emplace_back(block, size);
        }
    }
    for (auto& [block, size] : blocks)
        EXPECT_EQ(block[size - 1], 0x5a); // no block overlaps a later one
    for (auto& [block, size] : blocks)
        FreeDocumentMemory(block);
    FreeDocumentMemory(nullptr);
}

TEST(DocumentMemory, DocumentsParsedAndFreedOnSeveralThreadsStayIntact)
{
    std::string text = GenerateArxml(1, 5);
    std::vector<std::thread> threads;
    std::atomic<int> sound{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 3; ++i) {
                pugi::xml_document doc;
                if (doc.load_buffer(text.data(), text.size()).status != pugi::status_ok)
                    return;
                pugi::xml_document copy;
                copy.reset(doc); // many small blocks, freed in another order than taken
                if (std::strcmp(copy.document_element().name(), "AUTOSAR") == 0)
                    ++sound;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(sound, 12);
}

// Destroying a state while its workers still use its index must neither crash nor hang.
TEST(FastPaths, StatesDestroyedWhileTheirTasksRunLetThemFinishFirst)
{
    TempDir dir;
    std::string path = dir.File("big.arxml");
    WriteGeneratedArxmlFile(path, 8'000'000, 11);
    std::shared_ptr<State> ready = OpenAndSettle(path);
    ASSERT_EQ(ready->GetKind(), StateKind::Ready);
    auto document = ready->document;

    EXPECT_EQ(ready->FindRefsTo(kGeneratedHotPath).status, ResultStatus::Pending);
    ready.reset(); // the referrers task is queued or running

    auto indexing = std::make_shared<IndexingState>(path, document);
    EXPECT_EQ(indexing->FindRef("/Cluster0/Signals/Sig_0_1").status, ResultStatus::Pending);
    indexing.reset(); // the build is running

    std::shared_ptr<State> reopened = OpenAndSettle(path);
    auto again = PollUntilFinal([&] { return reopened->FindRefsTo(kGeneratedHotPath); });
    EXPECT_EQ(again.status, ResultStatus::Done);
}

TEST(Measure, SampledKeysSpreadOverTheMapAndFollowTheSeed)
{
    std::map<std::string, int, std::less<>> map;
    for (int i = 0; i < 1000; ++i)
        map.emplace(std::to_string(1000 + i), i);
    auto keys = SampleKeys(map, 100, 1);
    ASSERT_EQ(keys.size(), 100u);
    EXPECT_EQ(keys, SampleKeys(map, 100, 1));
    EXPECT_NE(keys, SampleKeys(map, 100, 2));
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end());
    EXPECT_EQ(keys.front(), "1000");
    EXPECT_GE(keys.back(), "1900");
    EXPECT_EQ(SampleKeys(map, 5000, 1).size(), 1000u);

    EXPECT_EQ(PathDepth("/"), 0u);
    EXPECT_EQ(PathDepth("/A"), 1u);
    EXPECT_EQ(PathDepth("/A/B/C"), 3u);
}
