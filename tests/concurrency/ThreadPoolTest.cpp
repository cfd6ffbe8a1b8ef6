#include "concurrency/ThreadPool.h"
#include "support/ThreadStartLimit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace {
// Tasks are member functions bound to an object, as the states submit them.
struct Recorder
{
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<int> runs{0};

    int Record(int value, int sleepMs)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back(value);
        ++runs;
        return value * 10;
    }
    void Touch() { ++runs; }
    int Fail(std::string text) { throw std::runtime_error(text); }
    std::string Echo(std::string text) { return text; }
};

template <class T> void WaitReady(const Future<T>& future)
{
    for (int i = 0; i < 10000 && !future.IsReady(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(future.IsReady());
}
} // namespace

TEST(ThreadPool, SingleWorkerRunsTasksInSubmissionOrder)
{
    Recorder recorder;
    {
        ThreadPool pool(1);
        for (int i = 0; i < 20; ++i)
            pool.Submit(&Recorder::Record, &recorder, i, i % 3);
    }
    std::vector<int> expected(20);
    for (int i = 0; i < 20; ++i)
        expected[i] = i;
    EXPECT_EQ(recorder.order, expected);
}

TEST(ThreadPool, DestructionDrainsRunningAndQueuedTasks)
{
    Recorder recorder;
    {
        ThreadPool pool(1);
        pool.Submit(&Recorder::Record, &recorder, 0, 50); // running while the others queue
        for (int i = 1; i <= 3; ++i)
            pool.Submit(&Recorder::Record, &recorder, i, 1);
    }
    EXPECT_EQ(recorder.runs, 4);
}

TEST(ThreadPool, StopRequestStillRunsQueuedTasksAndIdlePoolsEndAtOnce)
{
    Recorder recorder;
    ThreadPool idle(2);
    idle.RequestStop();
    idle.RequestStop(); // a second request changes nothing
    EXPECT_TRUE(idle.StopRequested());

    ThreadPool busy(1);
    busy.Submit(&Recorder::Record, &recorder, 1, 30);
    Future<int> last = busy.Submit(&Recorder::Record, &recorder, 2, 1);
    busy.RequestStop();
    WaitReady(last);
    EXPECT_EQ(last.Get(), 20);
    EXPECT_EQ(recorder.runs, 2);
}

TEST(Future, FailureKeepsTextButNotType)
{
    Recorder recorder;
    ThreadPool pool(1);
    Future<int> future = pool.Submit(&Recorder::Fail, &recorder, std::string("x"));
    WaitReady(future);

    bool caughtAsRuntimeError = false;
    std::string text;
    try {
        future.Get();
    } catch (const std::runtime_error&) {
        caughtAsRuntimeError = true;
    } catch (const std::exception& e) {
        text = e.what();
    }
    EXPECT_FALSE(caughtAsRuntimeError);
    EXPECT_EQ(text, "x");

    // The worker survives a failing task.
    Future<int> next = pool.Submit(&Recorder::Record, &recorder, 3, 0);
    WaitReady(next);
    EXPECT_EQ(next.Get(), 30);
}

TEST(Future, VoidTasksAndDefaultFutures)
{
    Recorder recorder;
    ThreadPool pool(2);
    Future<void> done = pool.Submit(&Recorder::Touch, &recorder);
    WaitReady(done);
    EXPECT_NO_THROW(done.Get());
    EXPECT_EQ(recorder.runs, 1);

    EXPECT_FALSE(Future<int>().IsReady()) << "no task stands behind a default future";
}

TEST(Future, CopiesShareReadinessAndValueObject)
{
    Recorder recorder;
    ThreadPool pool(1);
    Future<int> first = pool.Submit(&Recorder::Record, &recorder, 7, 20);
    Future<int> second = first;
    WaitReady(second);
    EXPECT_TRUE(first.IsReady());
    EXPECT_EQ(first.ValueObject().get(), second.ValueObject().get());
    EXPECT_EQ(first.Get(), 70);
}

TEST(ThreadPool, StringLiteralArgumentsBecomeStringsWhenTheTaskRuns)
{
    Recorder recorder;
    ThreadPool pool(1);
    Future<std::string> future = pool.Submit(&Recorder::Echo, &recorder, "literal");
    WaitReady(future);
    EXPECT_EQ(future.Get(), "literal");
}

TEST(ThreadPool, ManyProducersAndWorkersLoseNoTask)
{
    Recorder recorder;
    {
        ThreadPool pool(2);
        std::vector<std::thread> producers;
        for (int p = 0; p < 4; ++p)
            producers.emplace_back([&] {
                for (int i = 0; i < 250; ++i)
                    pool.Submit(&Recorder::Touch, &recorder);
            });
        for (auto& producer : producers)
            producer.join();
    }
    EXPECT_EQ(recorder.runs, 1000);
}

TEST(ThreadPool, AWorkerThatCannotStartFailsTheConstructorCleanly)
{
    for (int started : {0, 1, 2}) {
        ThreadStartLimit limit(started);
        EXPECT_THROW(ThreadPool pool(3), std::system_error) << started; // a terminate would end the run
    }
    Recorder recorder;
    ThreadPool pool(3); // starts again once threads can be had
    auto future = pool.Submit(&Recorder::Echo, &recorder, std::string("x"));
    WaitReady(future);
    EXPECT_EQ(future.Get(), "x");
}
