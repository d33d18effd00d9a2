// Sampling any default pattern, analytic or built-in, by its name.
#pragma once

#include <cstdint>
#include <string_view>

#include "kinetrope/time.hpp"

namespace kinetrope {

// Throws std::invalid_argument "Unknown dance rudiment: <name>" for a name
// that no default pattern bears.
Offset3 sample(std::string_view name, std::int32_t pip);

}  // namespace kinetrope
