#include "lifecycle/ReadyState.h"
#include "support/SampleDocuments.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {
class ReadyStateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = dir.Write("system.arxml", kSampleSystem);
        state = OpenAndSettle(path);
        ASSERT_EQ(state->GetKind(), StateKind::Ready);
    }

    std::vector<Ref> Referrers(const std::string& target)
    {
        auto result = PollUntilFinal([&] { return state->FindRefsTo(target); });
        EXPECT_EQ(result.status, ResultStatus::Done) << result.message;
        return result.status == ResultStatus::Done ? result.GetValue() : std::vector<Ref>{};
    }

    TempDir dir;
    std::string path;
    std::shared_ptr<State> state;
};
} // namespace

TEST_F(ReadyStateTest, FindRefUsesTheTextExactly)
{
    auto found = state->FindRef("/Body/Speed");
    ASSERT_EQ(found.status, ResultStatus::Done);
    EXPECT_EQ(found.GetValue()->path, "/Body/Speed");
    EXPECT_STREQ(found.GetValue()->node.name(), "I-SIGNAL");
    for (const char* noncanonical : {"Body/Speed", "/Body/Speed/", "/body/speed"}) {
        auto miss = state->FindRef(noncanonical);
        EXPECT_EQ(miss.status, ResultStatus::Error) << noncanonical;
        EXPECT_EQ(miss.message, "Invalid Reference");
    }
    EXPECT_EQ(state->FindRef("/Body/Speed").value.get(), found.value.get()); // cached
}

TEST_F(ReadyStateTest, FindShortNameIsWholeTextAndCaseSensitive)
{
    auto found = state->FindShortName("F1");
    ASSERT_EQ(found.status, ResultStatus::Done);
    EXPECT_EQ(found.GetValue()->path, "/Body/Can/F1");
    for (const char* miss : {"f1", "F", "Speed ", ""})
        EXPECT_EQ(state->FindShortName(miss).message, "Could not find such an element.") << miss;
    // Asked again, each answer comes from the cache, which keys it by the end of its own path.
    EXPECT_EQ(state->FindShortName("F1").value.get(), found.value.get());
    EXPECT_EQ(state->FindShortName("f1").message, "Could not find such an element.");
}

// Tab in Find Ref: the text extended as far as the paths beginning with it agree, one piece at most.
TEST_F(ReadyStateTest, CompletesARefPathByOnePiece)
{
    const std::pair<const char*, const char*> cases[] = {{"/B", "/Body"},
                                                         {"/Body", "/Body/"},
                                                         {"/Body/", "/Body/"}, // Can, Door, Speed
                                                         {"/Body/S", "/Body/Speed"},
                                                         {"/Body/Can", "/Body/Can/"},
                                                         {"/Body/Can/", "/Body/Can/F1"},
                                                         {"/", "/"},
                                                         {"/Types/UInt8", "/Types/UInt8"},
                                                         {"/X", "/X"}};
    for (const auto& [typed, completed] : cases) {
        auto result = PollUntilFinal([&] { return state->CompleteRefPath(typed); });
        ASSERT_EQ(result.status, ResultStatus::Done) << typed;
        EXPECT_EQ(result.GetValue(), completed) << typed;
    }
}

// Typing part of a name lists the elements whose own short name holds it, not everything below them;
// an exact name lists those of just that name, case and all.
TEST_F(ReadyStateTest, NamesContainingAPartLookAtTheShortNameAlone)
{
    const std::vector<std::tuple<std::string, bool, std::vector<std::string>>> cases = {
        {"bod", false, {"/Body"}}, {"E", false, {"/Body/Speed", "/Types"}},
        {"/", false, {}},          {"Speed", true, {"/Body/Speed"}},
        {"speed", true, {}},       {"Spee", true, {}}};
    for (const auto& [part, exact, paths] : cases) {
        auto found = PollUntilFinal([&] { return state->ListShortNames(part, exact); });
        ASSERT_EQ(found.status, ResultStatus::Done) << part;
        std::vector<std::string> listed;
        for (const auto& [path, node] : found.GetValue().listed)
            listed.push_back(path);
        EXPECT_EQ(listed, paths) << part;
        EXPECT_EQ(found.GetValue().matchCount, paths.size()) << part;
    }
}

TEST_F(ReadyStateTest, ReferrersInDocumentOrderWithTheirElements)
{
    std::vector<Ref> toType = Referrers("/Types/UInt8");
    ASSERT_EQ(toType.size(), 2u);
    EXPECT_EQ(toType[0]->path, "/Body/Speed");
    EXPECT_EQ(toType[1]->path, "/Body/Speed");
    EXPECT_NE(toType[0]->node, toType[1]->node);
    EXPECT_STREQ(toType[0]->node.name(), "TYPE-TREF");
    EXPECT_STREQ(toType[0]->element.child_value("SHORT-NAME"), "Speed");
    EXPECT_EQ(state->CountRefsTo("/Types/UInt8").GetValue(), 2u);

    // A non-canonical reference counts only under its own text.
    EXPECT_EQ(Referrers("/Body/Speed").size(), 1u);
    EXPECT_EQ(state->CountRefsTo("/Body/Speed/").GetValue(), 1u);
}

TEST_F(ReadyStateTest, ElementWithoutReferrersIsPendingThenAnErrorButCountsZero)
{
    auto first = state->FindRefsTo("/Body/Can/F1");
    EXPECT_EQ(first.status, ResultStatus::Pending);
    auto final = PollUntilFinal([&] { return state->FindRefsTo("/Body/Can/F1"); });
    EXPECT_EQ(final.status, ResultStatus::Error);
    EXPECT_EQ(final.message, "No nodes reference this element.");
    EXPECT_EQ(state->FindRefsTo("/Body/Can/F1").message, "No nodes reference this element.");
    auto count = state->CountRefsTo("/Body/Can/F1");
    EXPECT_EQ(count.status, ResultStatus::Done);
    EXPECT_EQ(count.GetValue(), 0u);
}

TEST_F(ReadyStateTest, CachesAreSeparatePerQuery)
{
    Referrers("/Types/UInt8");
    auto ref = state->FindRef("/Types/UInt8");
    ASSERT_EQ(ref.status, ResultStatus::Done);
    EXPECT_EQ(ref.GetValue()->path, "/Types/UInt8");
    auto byName = state->FindShortName("/Types/UInt8");
    EXPECT_EQ(byName.status, ResultStatus::Error);
}

TEST_F(ReadyStateTest, OpenRequestLeavesForANewLoad)
{
    state->OpenFile(path);
    auto next = state->Update();
    EXPECT_EQ(next->GetKind(), StateKind::Loading);
    next = UpdateUntil(next, StateKind::Ready);
    EXPECT_EQ(next->FindRef("/Body/Speed").status, ResultStatus::Done);
}

// One element with a long list of referrers: building that list takes a while.
TEST(ReadyStateLongTasks, OneTaskPerPathAskedEveryFrameAndDestructionStopsIt)
{
    std::string xml = "<R><T><SHORT-NAME>T</SHORT-NAME></T>";
    for (int i = 0; i < 200000; ++i)
        xml += "<X>/T</X>";
    TempDir dir;
    const std::string path = dir.Write("long.arxml", xml + "</R>");
    std::shared_ptr<State> state = OpenAndSettle(path);
    ASSERT_EQ(state->GetKind(), StateKind::Ready);

    WakeCounter finishedTasks;
    int pendingAnswers = 0;
    Result<std::vector<Ref>> answer;
    const double fullList = SecondsOf([&] {
        answer = PollUntilFinal([&] {
            auto r = state->FindRefsTo("/T");
            pendingAnswers += r.status == ResultStatus::Pending;
            return r;
        });
    });
    ASSERT_EQ(answer.status, ResultStatus::Done);
    EXPECT_EQ(answer.GetValue().size(), 200000u);
    ASSERT_GT(pendingAnswers, 1) << "the list was asked for while its task ran";
    state.reset(); // its pool runs every queued task before it ends, and each one counts
    EXPECT_EQ(finishedTasks.Count(), 1) << "every frame started a task of its own";

    // Started or still queued, the list is given up at once.
    std::shared_ptr<State> other = OpenAndSettle(path);
    ASSERT_EQ(other->FindRefsTo("/T").status, ResultStatus::Pending);
    EXPECT_LT(SecondsOf([&] { other.reset(); }), fullList / 2) << "the list ran to its end";
}

// The referrer count beside an element promises that many rows in its refs-to window, whichever
// way the reference text is written.
TEST(ReadyStateReferrers, ListHasAsManyEntriesAsTheCountIncludingCdata)
{
    TempDir dir;
    auto state = OpenAndSettle(dir.Write("cdata.arxml", R"(<AUTOSAR><AR-PACKAGES><AR-PACKAGE>
        <SHORT-NAME>P</SHORT-NAME><ELEMENTS>
        <I-SIGNAL><SHORT-NAME>Target</SHORT-NAME></I-SIGNAL>
        <FRAME><SHORT-NAME>A</SHORT-NAME><S-REF><![CDATA[/P/Target]]></S-REF></FRAME>
        <FRAME><SHORT-NAME>B</SHORT-NAME><S-REF>/P/Target</S-REF></FRAME>
        </ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>)"));
    ASSERT_EQ(state->GetKind(), StateKind::Ready);
    auto count = state->CountRefsTo("/P/Target");
    ASSERT_EQ(count.status, ResultStatus::Done);
    EXPECT_EQ(count.GetValue(), 3u); // the CDATA section and the element holding it both hold the text
    auto list = PollUntilFinal([&] { return state->FindRefsTo("/P/Target"); });
    ASSERT_EQ(list.status, ResultStatus::Done) << list.message;
    ASSERT_EQ(list.GetValue().size(), count.GetValue());
    std::vector<std::pair<std::string, pugi::xml_node_type>> rows;
    for (const Ref& ref : list.GetValue())
        rows.emplace_back(ref->path, ref->node.type());
    EXPECT_EQ(rows,
              (std::vector<std::pair<std::string, pugi::xml_node_type>>{
                  {"/P/A", pugi::node_element}, {"/P/A", pugi::node_cdata}, {"/P/B", pugi::node_element}}));
}
