#include "concurrency/Reaper.h"
#include "concurrency/WakeHook.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {
// An object whose destruction waits until the test lets it go, and says on which thread it died.
struct SlowToFree
{
    SlowToFree(std::shared_future<void> release, std::promise<std::thread::id>* diedOn)
        : release(std::move(release)), diedOn(diedOn)
    {}
    SlowToFree(const SlowToFree&) = delete;
    std::shared_future<void> release;
    std::promise<std::thread::id>* diedOn;
    ~SlowToFree()
    {
        release.wait();
        diedOn->set_value(std::this_thread::get_id());
    }
};
} // namespace

TEST(Reaper, FreesOffTheCallingThreadWithoutWaitingAndDrainsBeforeItEnds)
{
    std::promise<void> release;
    std::promise<std::thread::id> diedOn;
    std::future<std::thread::id> died = diedOn.get_future();
    std::promise<std::thread::id> laterDiedOn;
    std::future<std::thread::id> laterDied = laterDiedOn.get_future();
    std::promise<std::thread::id> lastDiedOn;
    std::future<std::thread::id> lastDied = lastDiedOn.get_future();
    {
        Reaper reaper;
        // If Dispose freed on this thread, it would wait for `release` forever: this call would hang.
        reaper.Dispose(std::make_shared<SlowToFree>(release.get_future().share(), &diedOn));
        std::promise<void> laterRelease;
        laterRelease.set_value();
        reaper.Dispose(std::make_shared<SlowToFree>(laterRelease.get_future().share(), &laterDiedOn));
        EXPECT_EQ(died.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        EXPECT_EQ(laterDied.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout)
            << "freed in the order handed over";
        release.set_value();
        reaper.Drain();
        ASSERT_EQ(died.wait_for(std::chrono::seconds(0)), std::future_status::ready) << "Drain waits";
        EXPECT_NE(died.get(), std::this_thread::get_id());

        // Handed over just before the end: the destructor still frees it.
        std::promise<void> lastRelease;
        lastRelease.set_value();
        reaper.Dispose(std::make_shared<SlowToFree>(lastRelease.get_future().share(), &lastDiedOn));
    }
    EXPECT_EQ(lastDied.wait_for(std::chrono::seconds(0)), std::future_status::ready);
}

TEST(Reaper, KeepsAnObjectAliveWhileOthersStillHoldIt)
{
    auto shared = std::make_shared<int>(7);
    std::weak_ptr<int> watch = shared;
    Reaper reaper;
    reaper.Dispose(shared);
    reaper.Drain();
    EXPECT_FALSE(watch.expired()) << "only the handed-over reference is dropped";
    reaper.Dispose(std::move(shared));
    reaper.Drain();
    EXPECT_TRUE(watch.expired());
}

TEST(WakeHook, CallsTheInstalledHookFromAnyThreadAndNothingWithoutOne)
{
    std::atomic<int> calls{0};
    WakeUserInterface(); // no hook: nothing happens
    SetWakeHook([&] { ++calls; });
    std::thread([] { WakeUserInterface(); }).join();
    WakeUserInterface();
    SetWakeHook(nullptr);
    WakeUserInterface();
    EXPECT_EQ(calls.load(), 2);
}
