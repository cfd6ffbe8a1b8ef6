#include "concurrency/ThreadStart.h"

#include <atomic>
#include <system_error>

namespace {
std::atomic<int> startsLeft{-1}; // negative: no limit
} // namespace

void ThrowIfThreadStartRefused()
{
    int left = startsLeft.load();
    while (left >= 0) {
        if (left == 0)
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                    "cannot start a thread");
        if (startsLeft.compare_exchange_weak(left, left - 1))
            return;
    }
}

void RefuseThreadStartsAfter(int count)
{
    startsLeft = count;
}
