#pragma once

#include <algorithm>
#include <thread>
#include <utility>

// How many workers a pool of the program takes: one per core of the machine, at least one, and
// no more than the work gains from.
inline size_t MachineThreads()
{
    return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 16);
}

// Every thread of the program starts here, so that tests can make a start fail the way it does
// when the system has no threads left (std::system_error, resource_unavailable_try_again).
void ThrowIfThreadStartRefused();

// For tests: the next `count` thread starts succeed and every later one fails; a negative count
// lets every start succeed again.
void RefuseThreadStartsAfter(int count);

template <class F> std::thread StartThread(F&& body)
{
    ThrowIfThreadStartRefused();
    return std::thread(std::forward<F>(body));
}
