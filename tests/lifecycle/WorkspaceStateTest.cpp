#include "model/Workspace.h"
#include "support/SampleDocuments.h"
#include "support/SampleWorkspace.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {
size_t FileOf(const State& state, const Ref& ref)
{
    return state.GetWorkspace()->FileOf(ref->node).value_or(99);
}
} // namespace

TEST(WorkspaceState, AFolderOpensAsOneModelAndEveryQuerySpansItsFiles)
{
    SampleFolder sample;
    std::shared_ptr<State> state = OpenAndSettle(sample.dir.Path().string());
    ASSERT_EQ(state->GetKind(), StateKind::Ready) << state->GetErrorMessage();
    ASSERT_TRUE(state->GetWorkspace());
    EXPECT_EQ(state->GetWorkspace()->Files().size(), 3u);
    EXPECT_EQ(state->document, nullptr);

    Result<Ref> type = state->FindRef("/Types/UInt8");
    ASSERT_EQ(type.status, ResultStatus::Done);
    EXPECT_EQ(FileOf(*state, type.GetValue()), 2u);
    EXPECT_EQ(state->FindRef("/Body/Speed/").status, ResultStatus::Error);
    EXPECT_EQ(FileOf(*state, state->FindShortName("F1").GetValue()), 1u);

    auto referrers = PollUntilFinal([&] { return state->FindRefsTo("/Types/UInt8"); });
    ASSERT_EQ(referrers.status, ResultStatus::Done);
    ASSERT_EQ(referrers.GetValue().size(), 2u);
    const Ref& relative = referrers.GetValue()[0];
    EXPECT_EQ(relative->path, "/Body/Speed");
    EXPECT_EQ(state->ResolvedReference(relative->node), "/Types/UInt8");
    EXPECT_EQ(state->CountRefsTo("/Types/UInt8").GetValue(), 2u);
    EXPECT_EQ(PollUntilFinal([&] { return state->FindRefsTo("/Body/Door"); }).GetError(),
              "No nodes reference this element.");

    auto broken = PollUntilFinal([&] { return state->FindBrokenRefs(); });
    ASSERT_EQ(broken.status, ResultStatus::Done);
    ASSERT_EQ(broken.GetValue().size(), 2u);
    EXPECT_EQ(broken.GetValue()[0].text, "/Missing/Thing");
    EXPECT_EQ(broken.GetValue()[0].firstReferrer->path, "/Body/Door");
    EXPECT_EQ(broken.GetValue()[1].reason, "unknown base");

    auto hits = PollUntilFinal([&] { return state->FullTextSearch("UInt8", true); });
    ASSERT_EQ(hits.status, ResultStatus::Done);
    std::set<size_t> files;
    for (const Ref& hit : hits.GetValue())
        files.insert(FileOf(*state, hit));
    EXPECT_EQ(files, (std::set<size_t>{0, 1, 2})); // a's relative text, b's reference, c's element
}

// Each answer is kept under exactly the question asked: asked again, the same Ref comes back, and a
// question that is only part of an earlier one (or holds it) is answered on its own.
TEST(WorkspaceState, AnswersAreKeptUnderTheExactQuestion)
{
    SampleFolder sample;
    std::shared_ptr<State> state = OpenAndSettle(sample.dir.Path().string());
    ASSERT_EQ(state->GetKind(), StateKind::Ready) << state->GetErrorMessage();

    Result<Ref> byName = state->FindShortName("UInt8");
    ASSERT_EQ(byName.status, ResultStatus::Done);
    EXPECT_EQ(byName.GetValue()->path, "/Types/UInt8");
    EXPECT_EQ(&*state->FindShortName("UInt8").GetValue(), &*byName.GetValue());
    for (const char* other : {"Int8", "8", "/Types/UInt8", "Types/UInt8", "UInt8/"})
        EXPECT_EQ(state->FindShortName(other).status, ResultStatus::Error) << other;

    Result<Ref> byPath = state->FindRef("/Types/UInt8");
    ASSERT_EQ(byPath.status, ResultStatus::Done);
    EXPECT_EQ(&*state->FindRef("/Types/UInt8").GetValue(), &*byPath.GetValue());
    for (const char* other : {"/Types/UInt", "UInt8", "/Types/UInt8/"}) {
        EXPECT_EQ(state->FindRef(other).status, ResultStatus::Error) << other;
        EXPECT_EQ(state->FindRef(other).status, ResultStatus::Error) << other;
    }
    EXPECT_EQ(state->FindRef("/Types/UInt8").GetValue()->path, "/Types/UInt8");
}

TEST(WorkspaceState, AFolderWithoutModelFilesIsAnError)
{
    TempDir dir;
    dir.Write("readme.txt", "nothing here");
    std::shared_ptr<State> state = OpenAndSettle(dir.Path().string());
    ASSERT_EQ(state->GetKind(), StateKind::Error);
    EXPECT_EQ(state->GetErrorMessage(),
              "Could not load the file " + dir.Path().string() + ": no .arxml file or .zip archive in it");
}

TEST(WorkspaceState, OneFileStillAnswersBrokenReferencesMostHeldFirst)
{
    TempDir dir;
    std::shared_ptr<State> state = OpenAndSettle(dir.Write("system.arxml", kSampleSystem));
    ASSERT_EQ(state->GetKind(), StateKind::Ready);
    EXPECT_FALSE(state->GetWorkspace()->IsFolder());
    EXPECT_NE(state->document, nullptr); // shown as its own tree
    auto broken = PollUntilFinal([&] { return state->FindBrokenRefs(); });
    ASSERT_EQ(broken.status, ResultStatus::Done);
    ASSERT_EQ(broken.GetValue().size(), 2u);
    EXPECT_EQ(broken.GetValue()[0].text, "/Body/Speed/");
    EXPECT_EQ(broken.GetValue()[1].text, "/Missing/Thing");
    EXPECT_EQ(broken.GetValue()[1].firstReferrer->path, "/Body/Door");
}

// References written relative to a base resolve in one file as they do across a folder.
TEST(WorkspaceState, OneFileResolvesItsRelativeReferences)
{
    TempDir dir;
    std::string xml = kWorkspaceFileA;
    const std::string types =
        std::string(kWorkspaceFileC).substr(std::string(kWorkspaceFileC).find("<AR-PACKAGE>"));
    xml.insert(xml.find("</AR-PACKAGES>\n</AUTOSAR>"), types.substr(0, types.find("</AR-PACKAGES>")));
    std::shared_ptr<State> state = OpenAndSettle(dir.Write("one.arxml", xml));
    ASSERT_EQ(state->GetKind(), StateKind::Ready) << state->GetErrorMessage();

    auto referrers = PollUntilFinal([&] { return state->FindRefsTo("/Types/UInt8"); });
    ASSERT_EQ(referrers.status, ResultStatus::Done);
    ASSERT_EQ(referrers.GetValue().size(), 1u);
    EXPECT_EQ(referrers.GetValue()[0]->path, "/Body/Speed");
    EXPECT_EQ(state->ResolvedReference(referrers.GetValue()[0]->node), "/Types/UInt8");
    EXPECT_EQ(state->CountRefsTo("/Types/UInt8").GetValue(), 1u);
    // The default base names a package this file lacks: it and the text resolved through it are
    // broken, and so is a text whose label no package declares.
    auto broken = PollUntilFinal([&] { return state->FindBrokenRefs(); });
    ASSERT_EQ(broken.status, ResultStatus::Done);
    std::vector<std::string> texts;
    for (const BrokenRef& entry : broken.GetValue())
        texts.push_back(entry.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"/Body/Can", "/Body/Can/F1", "/Missing/Thing", "Speed"}));
}
