#include "document/State.h"

#include <gtest/gtest.h>

TEST(InitialState, AnswersNotLoaded)
{
    auto state = std::make_shared<InitialState>();
    EXPECT_EQ(state->FindRef("/A").message, "File not loaded. Result unavailable.");
}
