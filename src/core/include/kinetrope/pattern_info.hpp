// One entry of a pattern catalogue: what a pattern is called, what it draws,
// how long it loops and how many leading axes it moves.
#pragma once

#include <cstdint>
#include <string_view>

namespace kinetrope {

struct PatternInfo {
    std::string_view name;
    std::string_view description;
    std::uint16_t period_pips;
    std::uint8_t dimensions;
};

}  // namespace kinetrope
