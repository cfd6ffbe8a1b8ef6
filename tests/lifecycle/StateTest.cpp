#include "lifecycle/State.h"
#include "lifecycle/LoadingState.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

namespace {
constexpr const char* kNotLoaded = "File not loaded. Result unavailable.";

void ExpectNoQueryAnswers(State& state)
{
    EXPECT_EQ(state.FindRef("/A").message, kNotLoaded);
    EXPECT_EQ(state.FindShortName("A").message, kNotLoaded);
    EXPECT_EQ(state.FindRefsTo("/A").message, kNotLoaded);
    EXPECT_EQ(state.FullTextSearch("A", false).message, kNotLoaded);
    EXPECT_EQ(state.CountRefsTo("/A").message, kNotLoaded);
    EXPECT_EQ(state.FindRef("/A").status, ResultStatus::Error);
    EXPECT_EQ(state.CountRefsTo("/A").status, ResultStatus::Error);
}
} // namespace

TEST(Result, AccessorsRefuseMisuse)
{
    auto partial = Result<int>::Partial(5, 0.5);
    EXPECT_EQ(partial.GetValue(), 5);
    EXPECT_EQ(Result<int>().progress, -1.0);
    EXPECT_EQ(Result<int>().status, ResultStatus::Empty);

    for (const auto& noValue : {Result<int>::Pending(), Result<int>::Error("e"), Result<int>()}) {
        try {
            noValue.GetValue();
            FAIL() << "GetValue must throw";
        } catch (const std::logic_error& e) {
            EXPECT_STREQ(e.what(), "Result does not contain a value.");
        }
    }
    try {
        Result<int>::Value(1).GetError();
        FAIL() << "GetError must throw";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Result does not contain an error message.");
    }
    EXPECT_EQ(Result<int>::Error("why").GetError(), "why");

    auto done = Result<int>::Value(3);
    auto copy = done;
    EXPECT_EQ(copy.value.get(), done.value.get()); // copies share the value
}

// The interface scopes the ids of a document's rows by its state's id: it must follow the path alone.
TEST(StateId, FollowsThePathAlone)
{
    EXPECT_EQ(InitialState().id, ErrorState("", "m").id);
    EXPECT_EQ(ErrorState("x.arxml", "m").id, ErrorState("x.arxml", "other").id);
    EXPECT_NE(ErrorState("x.arxml", "m").id, ErrorState("y.arxml", "m").id);
}

TEST(InitialState, StartsEmptyAndAnswersNotLoaded)
{
    auto state = std::make_shared<InitialState>();
    EXPECT_EQ(state->GetKind(), StateKind::Initial);
    EXPECT_EQ(state->GetFilePath(), "");
    EXPECT_EQ(state->GetErrorMessage(), "");
    EXPECT_EQ(state->document, nullptr);
    ExpectNoQueryAnswers(*state);
}

TEST(InitialState, OpenRequestsOverwriteEachOtherAndEmptyOpensNothing)
{
    std::shared_ptr<State> state = std::make_shared<InitialState>();
    state->OpenFile("");
    EXPECT_EQ(state->Update(), state);

    TempDir dir;
    std::string first = dir.Write("first.arxml", "<A/>");
    std::string second = dir.Write("second.arxml", "<B/>");
    state->OpenFile(first);
    state->OpenFile(second);
    auto next = state->Update();
    EXPECT_EQ(next->GetKind(), StateKind::Loading);
    EXPECT_EQ(next->GetFilePath(), second);
}

TEST(ErrorState, KeepsItsMessageUntilAnotherFileIsOpened)
{
    std::shared_ptr<State> state =
        std::make_shared<ErrorState>("bad.arxml", "Could not load the file bad.arxml");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(state->Update(), state);
        EXPECT_EQ(state->GetErrorMessage(), "Could not load the file bad.arxml");
        EXPECT_EQ(state->GetFilePath(), "bad.arxml");
    }
    ExpectNoQueryAnswers(*state);
    state->OpenFile("bad.arxml"); // the same path again is a fresh load
    auto next = state->Update();
    EXPECT_EQ(next->GetKind(), StateKind::Loading);
    EXPECT_EQ(next->GetFilePath(), "bad.arxml");
}

TEST(StateMachine, WalksFromOpenToReadyAndReloadsTheSamePath)
{
    TempDir dir;
    std::string path = dir.Write("doc.arxml", "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME>"
                                              "</AR-PACKAGE></AR-PACKAGES></AUTOSAR>");
    std::shared_ptr<State> state = std::make_shared<InitialState>();
    state->OpenFile(path);
    state = state->Update();
    ASSERT_EQ(state->GetKind(), StateKind::Loading);
    ExpectNoQueryAnswers(*state);

    state = UpdateUntil(state, StateKind::Ready);
    ASSERT_EQ(state->GetKind(), StateKind::Ready);
    std::weak_ptr<pugi::xml_document> oldDocument = state->document;
    size_t oldId = state->id;

    state->OpenFile(path);
    auto reloading = state->Update();
    EXPECT_EQ(reloading->GetKind(), StateKind::Loading);
    EXPECT_FALSE(oldDocument.expired()); // the old document lives until the state is replaced
    EXPECT_EQ(reloading->id, oldId);
    state = reloading;
    EXPECT_TRUE(oldDocument.expired());
    state = UpdateUntil(state, StateKind::Ready);
    EXPECT_EQ(state->FindRef("/P").status, ResultStatus::Done);
}
