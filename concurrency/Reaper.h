#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

// Frees what the user-interface thread lets go of on a thread of its own. A replaced document
// state may still be parsing a file, or own a document and an index of gigabytes; waiting for it
// or freeing it would stall the window. Objects are freed one after the other, in the order given.
class Reaper
{
public:
    Reaper();
    // Frees everything still handed over before it returns.
    ~Reaper();
    Reaper(const Reaper&) = delete;
    Reaper& operator=(const Reaper&) = delete;

    // Takes over one reference and returns at once; the object dies on the reaper's thread if
    // this was the last reference.
    void Dispose(std::shared_ptr<void> object);

    // Waits until everything handed over so far has been released; for tools and tests.
    void Drain();

private:
    void Run();

    std::mutex mutex;
    std::condition_variable condition; // work arrived, work finished, or stop
    std::deque<std::shared_ptr<void>> queue;
    bool busy = false; // an object taken from the queue is being released
    bool stop = false;
    std::thread thread;
};
