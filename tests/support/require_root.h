// QUARN_REQUIRE_ROOT() at the top of a test body skips a test that needs root
// but no network (label "root"), as QUARN_REQUIRE_LIVE does; under CI it fails.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/live_net.h"

#define QUARN_REQUIRE_ROOT()                                                                                           \
    do {                                                                                                               \
        if (geteuid() != 0 && ::quarn::test::UnderCi())                                                                \
            FAIL() << "root test cannot run under CI without root";                                                    \
        if (geteuid() != 0)                                                                                            \
            GTEST_SKIP() << "needs root";                                                                              \
    } while (0)
