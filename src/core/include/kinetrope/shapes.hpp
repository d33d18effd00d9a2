// The seven basic dance shapes: bounce, sway, circle, figure eight, step
// touch, box step and helix. Each is a pure function of the pip.
#pragma once

#include <cstdint>

#include "kinetrope/time.hpp"

namespace kinetrope {

Offset3 bounce(std::int32_t pip) noexcept;
Offset3 sway(std::int32_t pip) noexcept;
Offset3 circle(std::int32_t pip) noexcept;
Offset3 figure_eight(std::int32_t pip) noexcept;
Offset3 step_touch(std::int32_t pip) noexcept;
Offset3 box_step(std::int32_t pip) noexcept;
Offset3 helix(std::int32_t pip) noexcept;

}  // namespace kinetrope
