#include "model/Workspace.h"
#include "model/IndexBuilder.h"
#include "model/Ref.h"
#include "support/SampleWorkspace.h"
#include "support/TestDocuments.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {
// a.arxml, b.arxml and types/c.arxml, so that the listing also looks into folders.
struct SampleWorkspace
{
    TempDir dir;
    std::unique_ptr<Workspace> workspace;

    SampleWorkspace()
    {
        dir.Write("a.arxml", kWorkspaceFileA);
        dir.Write("b.arxml", kWorkspaceFileB);
        std::filesystem::create_directory(dir.Path() / "types");
        dir.Write("types/c.arxml", kWorkspaceFileC);
        dir.Write("notes.txt", "not part of the model");
        std::atomic<bool> stop{false};
        workspace = std::make_unique<Workspace>(
            LoadWorkspaceFiles(ListWorkspaceFiles(dir.Path().string(), stop), 2, stop));
    }

    std::string NameOf(size_t file) const
    {
        return std::filesystem::path(workspace->Files()[file].path).filename().string();
    }
};

pugi::xml_node Child(pugi::xml_node element, const char* tag)
{
    return element.child(tag);
}
} // namespace

TEST(Workspace, PathsResolveAcrossFilesAndTheFirstFileWins)
{
    SampleWorkspace sample;
    const Workspace& ws = *sample.workspace;
    ASSERT_EQ(ws.Files().size(), 3u);
    EXPECT_EQ(ws.LoadedCount(), 3u);
    EXPECT_EQ(sample.NameOf(0), "a.arxml");
    EXPECT_EQ(sample.NameOf(2), "c.arxml");

    auto speed = ws.FindPath("/Body/Speed");
    ASSERT_TRUE(speed);
    EXPECT_EQ(speed->file, 0u);
    EXPECT_STREQ(speed->node.attribute("UUID").value(), "a-speed");
    auto frame = ws.FindPath("/Body/Can/F1"); // the package is split over a and b
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->file, 1u);
    auto type = ws.FindPath("/Types/UInt8");
    ASSERT_TRUE(type);
    EXPECT_EQ(type->file, 2u);
    EXPECT_EQ(ws.FileOf(type->node), 2u);
    EXPECT_FALSE(ws.FindPath("/Missing/Thing"));

    auto named = ws.FindShortName("F1");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->first, 1u);
    EXPECT_EQ(named->second.path, "/Body/Can/F1");
}

TEST(Workspace, ReferrersOfEveryFileCountRelativeReferencesUnderTheirTarget)
{
    SampleWorkspace sample;
    const Workspace& ws = *sample.workspace;

    // a's TYPE-TREF (BASE="Types") and b's absolute TYPE-TREF, in workspace order.
    std::vector<Workspace::Located> types = ws.Referrers("/Types/UInt8");
    ASSERT_EQ(types.size(), 2u);
    EXPECT_EQ(types[0].file, 0u);
    EXPECT_EQ(Ref(types[0].node)->path, "/Body/Speed");
    EXPECT_EQ(ws.ResolvedReference(types[0].node), "/Types/UInt8");
    EXPECT_EQ(types[1].file, 1u);
    EXPECT_EQ(ws.CountReferrers("/Types/UInt8"), 2u);

    // Door's FRAME-REF "F1" has no BASE: the default base /Body/Can applies.
    std::vector<Workspace::Located> frames = ws.Referrers("/Body/Can/F1");
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_STREQ(frames[0].node.name(), "FRAME-REF");
    EXPECT_EQ(Ref(frames[0].node)->path, "/Body/Door");

    // The unknown base "Nowhere" leaves the text plain; a description is no reference at all.
    pugi::xml_node door = ws.FindPath("/Body/Door")->node;
    EXPECT_EQ(ws.ResolvedReference(Child(door, "OTHER-REF")), "");
    EXPECT_EQ(ws.ResolvedReference(Child(door, "DESC")), "");
    EXPECT_EQ(ws.CountReferrers("/Body/Can/Speed"), 0u);
    EXPECT_EQ(ws.CountReferrers("/Types/Speed"), 0u);
    EXPECT_EQ(ws.CountReferrers("/Body/Speed"), 1u);
}

TEST(Workspace, BrokenReferencesAreThoseNoFileResolvesWithTheReason)
{
    SampleWorkspace sample;
    std::atomic<bool> stop{false};
    std::vector<Workspace::BrokenReference> broken = sample.workspace->BrokenReferences(stop);
    ASSERT_EQ(broken.size(), 2u);
    EXPECT_EQ(broken[0].text, "/Missing/Thing");
    EXPECT_EQ(broken[0].reason, "target missing");
    EXPECT_EQ(broken[0].count, 1u);
    EXPECT_EQ(broken[0].firstReferrer.file, 0u);
    EXPECT_EQ(Ref(broken[0].firstReferrer.node)->path, "/Body/Door");
    // A relative reference through a label no package declares is listed as written, with why.
    EXPECT_EQ(broken[1].text, "Speed");
    EXPECT_EQ(broken[1].reason, "unknown base");
    EXPECT_EQ(Ref(broken[1].firstReferrer.node)->path, "/Body/Door");
}

TEST(Workspace, EachBadFileKeepsItsOwnErrorAndTheRestLoads)
{
    TempDir dir;
    dir.Write("a.arxml", kWorkspaceFileA);
    dir.Write("b-not-xml.arxml", "this is no XML at all");
    dir.Write("c-damaged.zip", "PK\x03\x04 truncated");
    // A dangling link cannot be read, even by root; where links cannot be made (wine), that case is left out.
    std::error_code noLinks;
    std::filesystem::create_symlink(dir.File("nowhere"), dir.Path() / "d-unreadable.arxml", noLinks);
    const bool linked = !noLinks;
    WriteZip(dir.File("e-good.zip"), {{"model/types.arxml", kWorkspaceFileC}});
    std::atomic<bool> stop{false};
    WorkspaceProgress progress;
    Workspace ws(LoadWorkspaceFiles(ListWorkspaceFiles(dir.Path().string(), stop), 2, stop, {}, &progress));
    const size_t good = linked ? 4 : 3;
    ASSERT_EQ(ws.Files().size(), good + 1);
    // A file that failed counts as read and done, so the loading screen reaches "N of N".
    EXPECT_EQ(progress.files.load(), good + 1);
    EXPECT_EQ(progress.read.load(), good + 1);
    EXPECT_EQ(progress.indexed.load(), good + 1);
    EXPECT_EQ(ws.LoadedCount(), 2u);
    const auto& files = ws.Files();
    EXPECT_TRUE(files[0].error.empty());
    EXPECT_EQ(files[1].error.rfind("Could not load the file " + files[1].path + ": ", 0), 0u)
        << files[1].error;
    EXPECT_NE(files[1].error.find("line 1"), std::string::npos) << files[1].error;
    EXPECT_EQ(files[2].error.rfind("Could not load the file " + files[2].path + ": ", 0), 0u)
        << files[2].error;
    if (linked) {
        EXPECT_EQ(files[3].error, "Could not load the file " + files[3].path + ": No such file or directory");
    }
    EXPECT_TRUE(files[good].error.empty());
    EXPECT_EQ(files[1].document, nullptr);
    EXPECT_EQ(ws.FindPath("/Types/UInt8")->file, good);
    EXPECT_EQ(ws.Referrers("/Types/UInt8").size(), 1u);
}

// Filling the table over all files can run out of memory on any worker: the loading fails with a
// message of its own instead of ending the process, and each worker starts no file after it.
TEST(Workspace, AFailureWhileTakingInALoadedFileFailsTheLoadingWithItsReason)
{
    TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 8; ++i)
        paths.push_back(dir.Write("f" + std::to_string(i) + ".arxml", kWorkspaceFileA));
    for (size_t workers : {1, 2}) {
        std::atomic<bool> stop{false};
        std::atomic<size_t> takenIn{0};
        WorkspaceProgress progress;
        auto outOfMemory = [&](size_t, const WorkspaceFile&) {
            ++takenIn;
            throw std::bad_alloc();
        };
        try {
            LoadWorkspaceFiles(paths, workers, stop, outOfMemory, &progress);
            ADD_FAILURE() << "the loading succeeded";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "not enough memory");
        }
        EXPECT_LE(takenIn.load(), workers);
        EXPECT_EQ(progress.indexed.load(), paths.size());
    }
}

// A package split over files is one package: a base declared in one part serves the others.
TEST(Workspace, APackageSplitOverFilesHasTheBasesOfAllItsParts)
{
    TempDir dir;
    auto package = [](const std::string& bases, const std::string& reference) {
        return "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><REFERENCE-BASES>" + bases +
               "</REFERENCE-BASES><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>Q</"
               "SHORT-NAME><ELEMENTS><E><SHORT-NAME>" +
               reference + "</E></ELEMENTS></AR-PACKAGE></AR-PACKAGES></AR-PACKAGE></AR-PACKAGES></AUTOSAR>";
    };
    dir.Write("a.arxml",
              package("<REFERENCE-BASE><SHORT-LABEL>T</SHORT-LABEL><PACKAGE-REF>/Types</PACKAGE-REF>"
                      "</REFERENCE-BASE>",
                      "A</SHORT-NAME><X-REF>UInt8</X-REF>"));
    dir.Write("b.arxml", package("<REFERENCE-BASE><SHORT-LABEL>D</SHORT-LABEL><IS-DEFAULT>true</IS-DEFAULT>"
                                 "<PACKAGE-REF>/Types</PACKAGE-REF></REFERENCE-BASE>",
                                 "B</SHORT-NAME><X-REF BASE=\"T\">UInt8</X-REF>"));
    dir.Write("c.arxml", kWorkspaceFileC);
    std::atomic<bool> stop{false};
    Workspace ws(LoadWorkspaceFiles(ListWorkspaceFiles(dir.Path().string(), stop), 2, stop));
    ASSERT_EQ(ws.LoadedCount(), 3u);
    // a's reference takes the default declared in b, b's the label declared in a.
    std::vector<Workspace::Located> referrers = ws.Referrers("/Types/UInt8");
    ASSERT_EQ(referrers.size(), 2u);
    EXPECT_EQ(Ref(referrers[0].node)->path, "/P/Q/A");
    EXPECT_EQ(Ref(referrers[1].node)->path, "/P/Q/B");
    EXPECT_TRUE(ws.BrokenReferences(stop).empty());
}

// The workers of a folder take in each other's files when one is busy with the table over all
// files: none is left out, and where several files hold a path the first file still wins. The
// small files share each worker's document memory and outlive the loading.
TEST(Workspace, AFolderLoadedByTwoWorkersHasEveryFileInItsTable)
{
    TempDir dir;
    std::vector<ListedFile> listed;
    constexpr size_t kFiles = 200;
    for (size_t i = 0; i < kFiles; ++i) {
        const std::string own =
            "<AR-PACKAGE><SHORT-NAME>P" + std::to_string(i) +
            "</SHORT-NAME><ELEMENTS><E><SHORT-NAME>E</SHORT-NAME></E></ELEMENTS></AR-PACKAGE>";
        const std::string shared = "<AR-PACKAGE><SHORT-NAME>Common</SHORT-NAME><ELEMENTS><E UUID=\"" +
                                   std::to_string(i) +
                                   "\"><SHORT-NAME>X</SHORT-NAME></E></ELEMENTS></AR-PACKAGE>";
        // Later files are larger, so the workers start from the end of the folder.
        listed.push_back({dir.Write("f" + std::to_string(1000 + i) + ".arxml",
                                    "<AUTOSAR><AR-PACKAGES>" + own + shared + std::string(i * 50, ' ') +
                                        "</AR-PACKAGES></AUTOSAR>"),
                          ""});
    }
    std::atomic<bool> stop{false};
    std::shared_ptr<Workspace> ws = LoadWorkspace(listed, dir.Path().string(), 2, stop);
    ASSERT_EQ(ws->LoadedCount(), kFiles);
    for (size_t i = 0; i < kFiles; ++i) {
        auto found = ws->FindPath("/P" + std::to_string(i) + "/E");
        ASSERT_TRUE(found) << i;
        EXPECT_EQ(found->file, i);
    }
    auto first = ws->FindPath("/Common/X");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->file, 0u);
    EXPECT_STREQ(first->node.attribute("UUID").value(), "0");
}
