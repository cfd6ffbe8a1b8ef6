#include "bench/EditedCopy.h"
#include "bench/DocumentGenerator.h"
#include "model/Workspace.h"
#include "query/ModelCompare.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

// Two versions of a generated model in folders of several files: each edit is one change of its
// kind, none is lost or doubled where paths are looked up across files, and a folder against
// itself has none.
TEST(EditedCopy, EveryEditOfAFolderIsOneChangeOfItsKind)
{
    TempDir dir;
    const std::filesystem::path oldFolder = dir.Path() / "old", newFolder = dir.Path() / "new";
    std::filesystem::create_directories(oldFolder);
    std::filesystem::create_directories(newFolder);
    WriteGeneratedWorkspace(oldFolder.string(), 2'000'000, 3, 5);
    // Renamed, value changed, sibling added, in turns in each file; every generated element
    // carries a UUID.
    std::map<std::string, uint64_t> expected;
    for (const auto& entry : std::filesystem::directory_iterator(oldFolder)) {
        uint64_t edited =
            WriteEditedCopy(entry.path().string(), (newFolder / entry.path().filename()).string(), 50);
        expected["changed"] += (edited + 2) / 3;
        expected["added"] += (edited + 1) / 3;
        expected["moved"] += edited / 3;
    }
    ASSERT_GT(expected["moved"], 10u);

    std::atomic<bool> stop{false};
    auto open = [&](const std::filesystem::path& folder) {
        return Workspace(LoadWorkspaceFiles(ListWorkspaceFiles(folder.string(), stop), 2, stop),
                         folder.string());
    };
    const Workspace oldModel = open(oldFolder), newModel = open(newFolder);
    std::map<std::string, uint64_t> kinds;
    for (const ModelChange& change : CompareModels(oldModel, newModel, {}, stop))
        ++kinds[ChangeKindName(change.kind)];
    EXPECT_EQ(kinds, expected);
    EXPECT_TRUE(CompareModels(oldModel, open(oldFolder), {}, stop).empty());
}
