#include "model/Workspace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {
const std::string kProject = std::string(TESSARO_SHARED_ARXML_DIR) + "/../arxml-projects/P02";
} // namespace

// Opened one file at a time, the files hold 9,374 distinct reference texts that name no element of
// their own file (a plain reading with another XML parser finds the same); 2,931 of them name an
// element of another file of the project, and those are exactly the ones the workspace resolves.
TEST(WorkspaceRealProject, ReferencesOfP02ResolveAcrossItsFiles)
{
    if (!std::filesystem::is_directory(kProject))
        GTEST_SKIP() << kProject << " is absent";
    std::atomic<bool> stop{false};
    Workspace ws(LoadWorkspaceFiles(ListWorkspaceFiles(kProject, stop), 2, stop));
    ASSERT_EQ(ws.Files().size(), 158u);
    ASSERT_EQ(ws.LoadedCount(), 158u);

    std::set<std::string_view> unresolvedInOwnFile;
    for (const WorkspaceFile& file : ws.Files()) {
        file.index->ForEachReferenceText([&](std::string_view text, std::span<const pugi::xml_node>) {
            if (!file.index->FindPath(text))
                unresolvedInOwnFile.insert(text);
        });
    }
    size_t resolvedElsewhere = 0;
    for (std::string_view text : unresolvedInOwnFile)
        resolvedElsewhere += ws.FindPath(text).has_value();
    EXPECT_EQ(unresolvedInOwnFile.size(), 9374u);
    EXPECT_EQ(resolvedElsewhere, 2931u);
    std::vector<Workspace::BrokenReference> broken = ws.BrokenReferences(stop);
    EXPECT_EQ(broken.size(), 9374u - 2931u);
    for (const Workspace::BrokenReference& entry : broken)
        EXPECT_TRUE(unresolvedInOwnFile.count(entry.text)) << entry.text;
}

TEST(WorkspaceRealProject, RelativeReferencesOfARealFileResolve)
{
    const std::string file = std::string(TESSARO_SHARED_ARXML_DIR) + "/cantools__cantools__system-4.2.arxml";
    if (!std::filesystem::exists(file))
        GTEST_SKIP() << file << " is absent";
    std::atomic<bool> stop{false};
    Workspace ws(LoadWorkspaceFiles({file}, 1, stop));
    ASSERT_EQ(ws.LoadedCount(), 1u);
    EXPECT_EQ(ws.Files()[0].index->RelativeReferenceCount(), 3u);
    // BASE="SystemSignalBase" names /SystemSignal; the two CONSTANT-REFs take the default /Constants.
    std::vector<Workspace::Located> signal = ws.Referrers("/SystemSignal/SystemSignalInner/Signal2");
    ASSERT_EQ(signal.size(), 1u);
    EXPECT_STREQ(signal[0].node.name(), "SYSTEM-SIGNAL-REF");
    EXPECT_TRUE(ws.FindPath("/SystemSignal/SystemSignalInner/Signal2"));
    EXPECT_EQ(ws.Referrers("/Constants/BooleanFalse").size(), 2u);
    EXPECT_TRUE(ws.FindPath("/Constants/BooleanFalse"));
}
