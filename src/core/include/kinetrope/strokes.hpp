// Drum rudiments as hand motion: a table of strokes per rudiment and one
// evaluator that sums each stroke's squared-sine envelope. x carries the
// strokes signed by hand (right +1, left -1); y dips with every stroke.
#pragma once

#include <cstdint>
#include <span>

#include "kinetrope/time.hpp"

namespace kinetrope {

struct Stroke {
    std::int32_t start;
    std::int32_t hand;
    double accent;
    std::int32_t length;
};

Offset3 evaluate_strokes(std::int32_t pip, std::int32_t period,
                         std::span<const Stroke> strokes) noexcept;

Offset3 single_stroke_roll(std::int32_t pip) noexcept;
Offset3 double_stroke_roll(std::int32_t pip) noexcept;
Offset3 multiple_bounce_roll(std::int32_t pip) noexcept;
Offset3 single_paradiddle(std::int32_t pip) noexcept;
Offset3 flam(std::int32_t pip) noexcept;
Offset3 drag(std::int32_t pip) noexcept;
Offset3 five_stroke_roll(std::int32_t pip) noexcept;

}  // namespace kinetrope
