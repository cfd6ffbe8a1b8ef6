#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

// Tests that take many seconds run only when TESSARO_SLOW_TESTS is set (`make test` sets it), so
// that `ctest -LE e2e` answers quickly; without it they are reported as skipped.
inline bool SlowTestsWanted()
{
    const char* wanted = std::getenv("TESSARO_SLOW_TESTS");
    return wanted && *wanted && std::strcmp(wanted, "0") != 0;
}

#define TESSARO_SLOW_TEST()                                                                                  \
    if (!SlowTestsWanted())                                                                                  \
    GTEST_SKIP() << "slow: runs with TESSARO_SLOW_TESTS=1, as make test does"
