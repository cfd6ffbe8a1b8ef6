#pragma once

#include <algorithm>

// Draws on demand. While something on screen moves by itself (a highlight about to vanish) or input
// keeps coming, every frame is drawn, paced by the display. While only a spinner or a progress bar
// moves, a few frames a second are drawn: the work they wait for gets the processor. After a few
// frames in which nothing was live, the loop sleeps in the window system's event wait until input
// arrives or a worker reports progress (the timeout only checks for a request to stop), so an
// idle viewer costs next to nothing. The few extra frames let the GUI library settle what the last input
// changed (hover, window sizes) before the picture stands still.
class FramePacer
{
public:
    static constexpr int kQuietFramesBeforeSleep = 3;
    static constexpr double kSleepTimeoutSeconds =
        0.5; // whatever moves on screen is live, so no timer waits on this
    static constexpr double kSlowFrameSeconds = 1.0 / 12;

    // Input or a worker's wake-up arrived: the next frames must be drawn.
    void SomethingHappened() { quietFrames = 0; }

    // After each frame: `live` when anything drawn moves by itself; `slowly` when what moves is
    // only a spinner or a progress bar.
    void FrameDrawn(bool live, bool slowly = false)
    {
        quietFrames = live ? 0 : std::min(quietFrames + 1, kQuietFramesBeforeSleep);
        this->slowly = slowly;
    }

    // Whether the next frame may wait for an event instead of being drawn at once.
    bool MaySleep() const { return quietFrames >= kQuietFramesBeforeSleep; }

    // How long that wait may last.
    double SleepTimeout() const { return slowly ? kSlowFrameSeconds : kSleepTimeoutSeconds; }

    // After a wait that ran out with nothing happening: whether to draw all the same. Only work in
    // progress moves on a timer; a still picture is not drawn again, in however many windows.
    bool DueAfterQuietWait() const { return slowly; }

private:
    int quietFrames = 0;
    bool slowly = false;
};
