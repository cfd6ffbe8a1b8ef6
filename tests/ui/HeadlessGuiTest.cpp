#include "HeadlessGui.h"

#include <gtest/gtest.h>

TEST(HeadlessGui, DrawsFramesOnTheInitialState)
{
    HeadlessGui headless;
    EXPECT_FALSE(headless.Frame());
    EXPECT_EQ(headless.gui.state->GetKind(), StateKind::Initial);
}
