#include "bench/DocumentGenerator.h"
#include "model/Workspace.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <filesystem>

// The split keeps every reference where the single generated document has it: the clusters'
// references into /Common resolve only across files, and nothing else breaks.
TEST(GeneratedWorkspace, ClustersReferIntoTheCommonFileAndResolveAsOneModel)
{
    TempDir dir;
    GeneratedDocument facts = WriteGeneratedWorkspace(dir.Path().string(), 3'000'000, 4, 7);
    std::atomic<bool> stop{false};
    std::vector<ListedFile> files = ListWorkspaceFiles(dir.Path().string(), stop);
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(std::filesystem::path(files[0].path).filename(), "clusters-000.arxml");
    EXPECT_EQ(std::filesystem::path(files[3].path).filename(), "common.arxml");
    for (size_t i = 0; i < 3; ++i)
        EXPECT_GE(std::filesystem::file_size(files[i].path), 1'000'000u) << files[i].path;

    Workspace ws(LoadWorkspaceFiles(files, 2, stop));
    ASSERT_EQ(ws.LoadedCount(), 4u);
    // A cluster file alone cannot resolve the hot type; the workspace finds it in common.arxml.
    EXPECT_FALSE(ws.Files()[0].index->FindPath(kGeneratedHotPath));
    ASSERT_TRUE(ws.FindPath(kGeneratedHotPath));
    EXPECT_EQ(ws.FindPath(kGeneratedHotPath)->file, 3u);
    EXPECT_GT(ws.Files()[0].index->Referrers(kGeneratedHotPath).size(), 0u);

    size_t brokenNodes = 0;
    for (const Workspace::BrokenReference& broken : ws.BrokenReferences(stop))
        brokenNodes += broken.count;
    EXPECT_EQ(brokenNodes, facts.dangling);
}
