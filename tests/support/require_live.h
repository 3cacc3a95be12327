// For live tests: QUARN_REQUIRE_LIVE() at the top of a test body skips the test
// unless it can build network namespaces (root); under CI it fails instead.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/live_net.h"

#define QUARN_REQUIRE_LIVE()                                                                                           \
    do {                                                                                                               \
        if (auto quarnWhy = ::quarn::test::LiveUnavailable()) {                                                        \
            if (::quarn::test::UnderCi())                                                                              \
                FAIL() << "live test cannot run under CI: " << *quarnWhy;                                              \
            else                                                                                                       \
                GTEST_SKIP() << *quarnWhy;                                                                             \
        }                                                                                                              \
    } while (0)
