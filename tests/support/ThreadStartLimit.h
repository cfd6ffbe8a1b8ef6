#pragma once

#include "concurrency/ThreadStart.h"

// While it lives, only the next `starts` thread starts succeed, as on a system out of threads.
class ThreadStartLimit
{
public:
    explicit ThreadStartLimit(int starts) { RefuseThreadStartsAfter(starts); }
    ~ThreadStartLimit() { RefuseThreadStartsAfter(-1); }
    ThreadStartLimit(const ThreadStartLimit&) = delete;
    ThreadStartLimit& operator=(const ThreadStartLimit&) = delete;
};
