// The slow accented background drift: 14 keyframes over four beats joined by
// smoothstep easing, tabulated once when the module image loads.
#pragma once

#include <array>
#include <cstdint>

#include "kinetrope/time.hpp"

namespace kinetrope {

struct DriftKey {
    std::int32_t pip;
    double x;
    double y;
};

inline constexpr std::int32_t DRIFT_PERIOD = 256;

using DriftTable = std::array<Offset3, DRIFT_PERIOD>;

// Fills one period of the drift from its keyframes; the module calls it once,
// from a static initialiser, and samples the result.
DriftTable build_drift_table() noexcept;

Offset3 ochre_background(std::int32_t pip) noexcept;

}  // namespace kinetrope
