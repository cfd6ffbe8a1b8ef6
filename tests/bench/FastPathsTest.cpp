// The engine's fast paths (two-pass parallel index build, Refs from known paths or with a memo of
// short names, the document memory) must give exactly what the plain rules give.
#include "bench/DocumentGenerator.h"
#include "document/DocumentMemory.h"
#include "lifecycle/IndexingState.h"
#include "lifecycle/ReadyState.h"
#include "model/IndexBuilder.h"
#include "model/NodeText.h"
#include "model/Ref.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace {
// The index as the rules read: three ordered maps holding whole paths, filled by one recursive
// pre-order pass.
struct PlainIndex
{
    std::map<std::string, pugi::xml_node> byPath;
    std::map<std::string, pugi::xml_node> byShortName;
    std::map<std::string, std::vector<pugi::xml_node>> referrers;
};

void PlainBuild(PlainIndex& index, uint64_t& count, pugi::xml_node node, std::string path)
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
    docs.push_back(ParseDocument(GenerateArxml(1, 3)));
    for (const auto& file : SharedArxmlFiles()) {
        auto doc = std::make_shared<pugi::xml_document>();
        if (doc->load_file(file.c_str()).status == pugi::status_ok)
            docs.push_back(doc);
    }
    return docs;
}
} // namespace

TEST(FastPaths, IndexAnswersEveryKeyLikeThePlainMaps)
{
    for (const auto& doc : Documents()) {
        Index index;
        PlainIndex plain;
        uint64_t count = 0, plainCount = 0;
        std::atomic<bool> stop{false};
        BuildIndexInto(index, count, *doc, "", stop);
        PlainBuild(plain, plainCount, *doc, "");
        EXPECT_EQ(count, plainCount);

        std::vector<std::pair<std::string, pugi::xml_node>> paths;
        index.ForEachPath(
            [&](std::string_view path, pugi::xml_node node) { paths.emplace_back(path, node); });
        EXPECT_TRUE(paths == decltype(paths)(plain.byPath.begin(), plain.byPath.end())); // same byte order
        for (const auto& [path, node] : plain.byPath) {
            ASSERT_EQ(index.FindPath(path), node) << path;
            for (std::string near : {path + "/", path.substr(1), path.substr(0, path.size() - 1), path + "x"})
                ASSERT_EQ(bool(index.FindPath(near)), plain.byPath.count(near) == 1) << near;
        }
        EXPECT_EQ(index.ShortNameCount(), plain.byShortName.size());
        for (const auto& [name, node] : plain.byShortName) {
            std::optional<Index::Named> named = index.FindShortName(name);
            ASSERT_TRUE(named) << name;
            EXPECT_EQ(named->node, node);
            EXPECT_EQ(named->path, Ref(node)->path);
        }
        std::vector<std::pair<std::string, std::vector<pugi::xml_node>>> referrers;
        index.ForEachReferenceText([&](std::string_view text, std::span<const pugi::xml_node> nodes) {
            referrers.emplace_back(text, std::vector(nodes.begin(), nodes.end()));
        });
        if (index.RelativeReferenceCount() == 0) { // the plain maps do not resolve relative references
            EXPECT_TRUE(referrers == decltype(referrers)(plain.referrers.begin(), plain.referrers.end()));
        }
        for (const auto& [text, nodes] : plain.referrers) {
            std::span<const pugi::xml_node> found = index.Referrers(text);
            ASSERT_TRUE(std::equal(found.begin(), found.end(), nodes.begin(), nodes.end())) << text;
        }
        EXPECT_TRUE(index.Referrers("/no/such/text").empty());

        ShortNameMemo memo;
        for (const auto& [path, node] : plain.byPath) {
            ExpectSameRef(Ref(node, path), Ref(node));
            ExpectSameRef(Ref(node, memo), Ref(node));
        }
        for (const auto& [text, nodes] : plain.referrers) {
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

// Documents and the tables kept beside them share chunks of memory, each freeing its own blocks
// in any order.
TEST(DocumentMemory, BlocksAreAlignedWritableAndDisjoint)
{
    struct Block
    {
        char* bytes;
        size_t size;
        bool kept;
    };
    std::vector<Block> blocks;
    for (size_t size : {size_t(1), size_t(24), size_t(4096), size_t(32768 + 64), size_t(300) << 10,
                        size_t(1) << 20, size_t(17) << 20}) {
        for (int i = 0; i < 3; ++i) {
            for (bool kept : {false, true}) {
                void* bytes = kept ? AllocateKeptTableMemory(size) : AllocateDocumentMemory(size);
                ASSERT_NE(bytes, nullptr);
                blocks.push_back({static_cast<char*>(bytes), size, kept});
                EXPECT_EQ(reinterpret_cast<uintptr_t>(bytes) % 16, 0u);
                std::memset(bytes, kept ? 0x3c : 0x5a, size);
            }
        }
    }
    for (size_t i = 0; i < blocks.size(); i += 2) { // every other block first, then the rest
        EXPECT_EQ(blocks[i].bytes[0], 0x5a);
        EXPECT_EQ(blocks[i].bytes[blocks[i].size - 1], 0x5a); // no block overlaps a later one
        FreeDocumentMemory(blocks[i].bytes);
    }
    for (size_t i = 1; i < blocks.size(); i += 2) {
        EXPECT_EQ(blocks[i].bytes[0], 0x3c);
        EXPECT_EQ(blocks[i].bytes[blocks[i].size - 1], 0x3c);
        FreeKeptTableMemory(blocks[i].bytes, blocks[i].size);
    }
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
