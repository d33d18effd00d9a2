// The built-in tabulated patterns: one record per pattern, a name index sorted
// bytewise, and one contiguous array of x, y, z rows. All three are constant
// data in the module image; nothing here is computed at load time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "kinetrope/time.hpp"

extern "C" const double kinetrope_builtin_samples[];

namespace kinetrope {

using BuiltinSampler = Offset3 (*)(std::int32_t pip) noexcept;

struct BuiltinPattern {
    std::string_view name;
    std::string_view description;
    std::uint16_t period_pips;
    std::uint8_t dimensions;
    BuiltinSampler sampler;
};

extern const std::span<const BuiltinPattern> builtin_patterns;
extern const std::span<const std::uint64_t> builtin_name_index;
extern const std::span<const double> builtin_samples;

// The sampler of the record whose block of Period rows starts at row
// FirstRow; the constant period lets the compiler strength-reduce the wrap.
template <std::size_t FirstRow, std::int32_t Period>
Offset3 sample_builtin_block(std::int32_t pip) noexcept {
    const double* row = kinetrope_builtin_samples + 3 * (FirstRow + static_cast<std::size_t>(wrap_pip(pip, Period)));
    return {row[0], row[1], row[2]};
}

// Lower-bound search of the name index; nullptr when no record bears the name.
const BuiltinPattern* find_builtin(std::string_view name) noexcept;

}  // namespace kinetrope
