#include <gtest/gtest.h>

#include <climits>

#include "kinetrope/time.hpp"

namespace {

using kinetrope::wrap_pip;

// Python only reaches wrap_pip through the patterns' fixed periods; odd and
// non-positive periods are checked here.
TEST(WrapPip, FlooredModuloAtEveryPeriodSign) {
    struct Case {
        std::int32_t pip, period, phase;
    };
    const Case cases[] = {
        {-1, 64, 63},       {-64, 64, 0},        {-65, 64, 63},     {63, 64, 63},
        {64, 64, 0},        {130, 128, 2},       {INT32_MIN, 64, 0}, {INT32_MIN, 3, 1},
        {INT32_MAX, 256, 255}, {INT32_MIN, 448, 320}, {INT32_MAX, 160, 127},
        {12345, 1, 0},      {-7, 1, 0},          {5, 0, 0},          {5, -3, 0},
        {INT32_MIN, INT32_MIN, 0}, {INT32_MIN, INT32_MAX, INT32_MAX - 1},
        {INT32_MAX, INT32_MAX, 0}, {-1, INT32_MAX, INT32_MAX - 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wrap_pip(c.pip, c.period), c.phase) << c.pip << " mod " << c.period;
    }
}

static_assert(wrap_pip(INT32_MIN, 7) == 5);

}  // namespace
