#include "lifecycle/IndexingState.h"
#include "lifecycle/LoadingState.h"
#include "support/SampleDocuments.h"
#include "support/TestDocuments.h"
#include "support/ThreadStartLimit.h"

#include <gtest/gtest.h>

namespace {
std::shared_ptr<IndexingState> Indexing(const std::string& xml)
{
    return std::make_shared<IndexingState>("sample.arxml", ParseDocument(xml));
}

std::string FinalPath(State& state, const std::string& text)
{
    auto result = PollUntilFinal([&] { return state.FindRef(text); });
    return result.status == ResultStatus::Done ? result.GetValue()->path : "error: " + result.message;
}
} // namespace

TEST(IndexingState, ResolvesReferencesByWalkingTheTree)
{
    auto state = Indexing(kSampleSystem);
    EXPECT_EQ(state->GetKind(), StateKind::Indexing);
    EXPECT_EQ(FinalPath(*state, "/Body/Speed"), "/Body/Speed");
    EXPECT_EQ(FinalPath(*state, "/Body"), "/Body"); // the package itself
    EXPECT_EQ(FinalPath(*state, "/Body/Can/F1"), "/Body/Can/F1");
    EXPECT_EQ(FinalPath(*state, "/body/speed"), "error: Invalid Reference");
    EXPECT_EQ(FinalPath(*state, "/Body/Nothing"), "error: Invalid Reference");
    EXPECT_EQ(FinalPath(*state, "/Can/F1"), "error: Invalid Reference");     // named nodes must match
    EXPECT_EQ(FinalPath(*state, "/BodyXSpeed"), "error: Invalid Reference"); // names end at a "/"
}

TEST(IndexingState, OneTaskPerTextAndCachedAnswers)
{
    auto state = Indexing(kSampleSystem);
    auto first = state->FindRef("/Types/UInt8");
    EXPECT_EQ(first.status, ResultStatus::Pending);
    EXPECT_TRUE(first.message.empty());
    auto done = PollUntilFinal([&] { return state->FindRef("/Types/UInt8"); });
    ASSERT_EQ(done.status, ResultStatus::Done);
    auto again = state->FindRef("/Types/UInt8");
    EXPECT_EQ(again.value.get(), done.value.get()); // served from the cache, not a new task

    auto miss = PollUntilFinal([&] { return state->FindRef("/No"); });
    EXPECT_EQ(miss.status, ResultStatus::Error);
    EXPECT_EQ(state->FindRef("/No").message, "Invalid Reference");
}

TEST(IndexingState, OnlyReferenceLookupAndSearchAnswerWhileIndexing)
{
    auto state = Indexing(kSampleSystem);
    EXPECT_EQ(state->FindShortName("Speed").message, "File not loaded. Result unavailable.");
    EXPECT_EQ(state->FindRefsTo("/Body/Speed").message, "File not loaded. Result unavailable.");
    EXPECT_EQ(state->CountRefsTo("/Body/Speed").message, "File not loaded. Result unavailable.");
    EXPECT_NE(state->FullTextSearch("Speed", false).status, ResultStatus::Error);
}

TEST(IndexingState, BecomesReadyAndAnOpenRequestWins)
{
    std::shared_ptr<State> state = Indexing(kSampleSystem);
    state = UpdateUntil(state, StateKind::Ready);
    ASSERT_EQ(state->GetKind(), StateKind::Ready);
    EXPECT_EQ(state->GetFilePath(), "sample.arxml");

    std::shared_ptr<State> indexing = Indexing(kSampleSystem);
    indexing->FindRef("/Types/UInt8");
    indexing->OpenFile("elsewhere.arxml");
    auto next = indexing->Update();
    EXPECT_EQ(next->GetKind(), StateKind::Loading);
    EXPECT_EQ(next->GetFilePath(), "elsewhere.arxml");
}

TEST(IndexingState, DeeplyNestedDocumentsDoNotExhaustTheStack)
{
    constexpr int depth = 500000;
    std::string xml;
    xml.reserve(depth * 24);
    for (int i = 0; i < depth; ++i)
        xml += i % 1000 == 0 ? "<E><SHORT-NAME>n</SHORT-NAME>" : "<E>";
    xml += "<T>/n/n</T>";
    for (int i = 0; i < depth; ++i)
        xml += "</E>";

    TempDir dir;
    std::string path = dir.Write("deep.arxml", xml);
    auto state = OpenAndSettle(path);
    ASSERT_EQ(state->GetKind(), StateKind::Ready);
    EXPECT_EQ(state->FindRef("/n/n").status, ResultStatus::Done);
    EXPECT_EQ(state->CountRefsTo("/n/n").GetValue(), 1u);
    auto referrers = PollUntilFinal([&] { return state->FindRefsTo("/n/n"); });
    ASSERT_EQ(referrers.status, ResultStatus::Done);
    std::string innermostPath;
    for (int i = 0; i < depth / 1000; ++i)
        innermostPath += "/n";
    EXPECT_EQ(referrers.GetValue().front()->path, innermostPath);
    auto hits = PollUntilFinal([&] { return state->FullTextSearch("/n/n", true); });
    EXPECT_EQ(hits.status, ResultStatus::Done);
    EXPECT_EQ(hits.GetValue().size(), 2u); // the element through its text, and the text node

    auto walking = std::make_shared<IndexingState>("deep", state->document);
    EXPECT_EQ(FinalPath(*walking, "/n/n"), "/n/n");
}

// Three workers and the search service, the second thread of the build, the ready state's workers:
// wherever a thread cannot start, the document ends on the error screen saying why.
TEST(IndexingState, AFailedBuildOrAThreadThatCannotStartEndsInTheErrorState)
{
    TempDir dir;
    const std::string path = dir.Write("sample.arxml", kSampleSystem);
    for (int starts = 0; starts <= 6; ++starts) {
        std::shared_ptr<State> state = std::make_shared<LoadingState>(path);
        ThreadStartLimit limit(starts);
        state = UpdateUntil(state, StateKind::Error);
        ASSERT_EQ(state->GetKind(), StateKind::Error) << starts;
        EXPECT_EQ(
            state->GetErrorMessage().rfind("Could not index the file " + path + ": cannot start a thread", 0),
            0u)
            << starts << ": " << state->GetErrorMessage();
    }
    ThreadStartLimit none(0);
    std::shared_ptr<State> state = std::make_shared<InitialState>();
    state->OpenFile(path);
    state = state->Update();
    ASSERT_EQ(state->GetKind(), StateKind::Error);
    EXPECT_EQ(
        state->GetErrorMessage().rfind("Could not load the file " + path + ": cannot start a thread", 0), 0u)
        << state->GetErrorMessage();
}

// A reference that names nothing walks the whole document; here that takes a while.
TEST(IndexingState, OneWalkPerTextAskedEveryFrame)
{
    std::string xml = "<R>";
    for (int i = 0; i < 300000; ++i)
        xml += "<V><W/></V>";
    auto doc = ParseDocument(xml + "</R>");

    WakeCounter finishedTasks;
    auto state = std::make_shared<IndexingState>("long.arxml", doc);
    ASSERT_TRUE(finishedTasks.WaitFor(1)) << "the index build ends";
    finishedTasks.Reset();
    int pendingAnswers = 0;
    Result<Ref> answer;
    answer = PollUntilFinal([&] {
        auto r = state->FindRef("/Missing");
        pendingAnswers += r.status == ResultStatus::Pending;
        return r;
    });
    EXPECT_EQ(answer.message, "Invalid Reference");
    ASSERT_GT(pendingAnswers, 1) << "the text was asked for while its walk ran";
    state.reset(); // its pools run every queued task before they end, and each one counts
    EXPECT_EQ(finishedTasks.Count(), 1) << "every frame started a walk of its own";
}
