// The fifteen analytic default patterns in catalogue order: the seven shapes,
// the background drift and the seven rudiments.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "kinetrope/pattern_info.hpp"
#include "kinetrope/time.hpp"

namespace kinetrope {

using AnalyticFunction = Offset3 (*)(std::int32_t) noexcept;

struct AnalyticPattern {
    PatternInfo info;
    AnalyticFunction function;
    std::string_view family;  // what the companion lists it under: "shape", "drift" or "rudiment"
};

inline constexpr std::size_t ANALYTIC_PATTERN_COUNT = 15;

extern const std::array<AnalyticPattern, ANALYTIC_PATTERN_COUNT> analytic_patterns;

}  // namespace kinetrope
