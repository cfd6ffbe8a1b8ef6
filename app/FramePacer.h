#pragma once

#include <algorithm>

// Draws on demand. While something on screen moves by itself (a spinner, a highlight, a search's
// progress, a blinking text cursor) or input keeps coming, every frame is drawn, paced by the
// display. After a few frames in which nothing was live, the loop sleeps in the window system's
// event wait until input arrives, a worker reports progress, or the timeout passes, so an idle
// viewer costs next to nothing. The few extra frames let the GUI library settle what the last
// input changed (hover, window sizes) before the picture stands still.
class FramePacer
{
public:
    static constexpr int kQuietFramesBeforeSleep = 3;
    static constexpr double kSleepTimeoutSeconds =
        0.5; // whatever moves on screen is live, so no timer waits on this

    // Input or a worker's wake-up arrived: the next frames must be drawn.
    void SomethingHappened() { quietFrames = 0; }

    // After each frame: `live` when anything drawn moves by itself or waits for a worker.
    void FrameDrawn(bool live)
    {
        quietFrames = live ? 0 : std::min(quietFrames + 1, kQuietFramesBeforeSleep);
    }

    // Whether the next frame may wait for an event instead of being drawn at once.
    bool MaySleep() const { return quietFrames >= kQuietFramesBeforeSleep; }

private:
    int quietFrames = 0;
};
