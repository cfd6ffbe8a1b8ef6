// Turns a test that hangs into a failure with a message: a test still running after the time
// limit ends the test program with its name on standard error, long before CTest's own limit
// would. TESSARO_TEST_TIME_LIMIT (seconds) replaces the default of 300, for runs that need a
// hang noticed sooner.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

// What the watching thread sees. Never destroyed: the thread waits on it until the process ends.
struct Watch
{
    std::chrono::seconds limit{300};
    std::mutex mutex;
    std::condition_variable changed;
    std::string running; // the test now running, empty between tests
    std::chrono::steady_clock::time_point deadline;
    bool watching = false;
    bool waiting = false; // the thread has started and waits

    void Run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        waiting = true;
        changed.notify_all();
        for (;;) {
            if (running.empty()) {
                changed.wait(lock);
            } else if (changed.wait_until(lock, deadline) == std::cv_status::timeout && !running.empty() &&
                       std::chrono::steady_clock::now() >= deadline) {
                std::fprintf(stderr, "\n%s is still running after %lld s: it hangs\n", running.c_str(),
                             static_cast<long long>(limit.count()));
                std::fflush(stderr);
                std::_Exit(1);
            }
        }
    }
};

Watch* const theWatch = new Watch;

class TimeLimit : public testing::EmptyTestEventListener
{
public:
    TimeLimit() : watch(*theWatch)
    {
        const char* configured = std::getenv("TESSARO_TEST_TIME_LIMIT");
        if (configured && std::atoi(configured) > 0)
            watch.limit = std::chrono::seconds(std::atoi(configured));
    }

    // The thread starts before the first test and is waiting once this returns. Tests fork (death
    // tests do), and a copy forked while the thread was still starting could inherit a lock of
    // the memory allocator held by it, and wait on it forever. A waiting thread holds none.
    void OnTestProgramStart(const testing::UnitTest&) override
    {
        std::unique_lock<std::mutex> lock(watch.mutex);
        if (watch.watching)
            return;
        std::thread([watch = &watch] { watch->Run(); }).detach();
        watch.watching = true;
        watch.changed.wait(lock, [this] { return watch.waiting; });
    }

    void OnTestStart(const testing::TestInfo& info) override
    {
        std::lock_guard<std::mutex> lock(watch.mutex);
        watch.running = std::string(info.test_suite_name()) + "." + info.name();
        watch.deadline = std::chrono::steady_clock::now() + watch.limit;
        watch.changed.notify_all();
    }

    void OnTestEnd(const testing::TestInfo&) override
    {
        std::lock_guard<std::mutex> lock(watch.mutex);
        watch.running.clear();
        watch.changed.notify_all();
    }

private:
    Watch& watch;
};

// The listener list owns the listener.
const bool installed = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new TimeLimit);
    return true;
}();

} // namespace
