// The pip time base: integer musical time, 64 pips to the beat, and the
// three-axis offset that every periodic pattern returns.
#pragma once

#include <cstdint>

namespace kinetrope {

inline constexpr std::int32_t PIPS_PER_BEAT = 64;

struct Offset3 {
    double x;
    double y;
    double z;
};

// Floored modulo of a pip by a period; 0 for a period of 0 or less.
// The truncating remainder is smaller in magnitude than the period, so
// adding the period once can never overflow, even for INT32_MIN.
constexpr std::int32_t wrap_pip(std::int32_t pip, std::int32_t period) noexcept {
    if (period <= 0) {
        return 0;
    }
    const std::int32_t remainder = pip % period;
    return remainder < 0 ? remainder + period : remainder;
}

}  // namespace kinetrope
