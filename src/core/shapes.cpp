#include "kinetrope/shapes.hpp"

#include <cmath>

namespace kinetrope {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kFourPi = 12.566370614359172;
constexpr double kStepLiftDepth = 0.35;

// The products are written left to right exactly as the shapes are defined,
// so every result is bit-for-bit reproducible.
double phase_double(std::int32_t pip, std::int32_t period) {
    return static_cast<double>(wrap_pip(pip, period));
}

double smoothstep(double w) { return (3.0 - (w + w)) * (w * w); }

struct Corner {
    double x;
    double y;
};

}  // namespace

Offset3 bounce(std::int32_t pip) noexcept {
    const double ph = phase_double(pip, 64);
    return {1.0 - std::fabs(ph * 0.015625 - 0.5) * 4.0, 0.0, 0.0};
}

Offset3 sway(std::int32_t pip) noexcept {
    const double ph = phase_double(pip, 128);
    return {std::sin(ph * 0.0078125 * kTwoPi), 0.0, 0.0};
}

Offset3 circle(std::int32_t pip) noexcept {
    const double a = phase_double(pip, 64) * 0.015625 * kTwoPi - kHalfPi;
    return {std::cos(a), std::sin(a), 0.0};
}

Offset3 figure_eight(std::int32_t pip) noexcept {
    const double a = phase_double(pip, 128) * 0.0078125 * kTwoPi;
    return {std::sin(a), std::sin(a + a), 0.0};
}

Offset3 step_touch(std::int32_t pip) noexcept {
    // Four 32-pip steps: left to centre, centre to right and back, each with a
    // small dip of the point in the middle of the step.
    static constexpr double kFrom[4] = {-1.0, 0.0, 1.0, 0.0};
    static constexpr double kTo[4] = {0.0, 1.0, 0.0, -1.0};
    const std::int32_t ph = wrap_pip(pip, 128);
    const std::int32_t k = ph / 32;
    const double w = static_cast<double>(ph % 32) * 0.03125;
    const double s = smoothstep(w);
    return {s * (kTo[k] - kFrom[k]) + kFrom[k], -(std::sin(w * kPi) * kStepLiftDepth), 0.0};
}

Offset3 box_step(std::int32_t pip) noexcept {
    // One beat along each side of the square with corners (+-1, +-1).
    static constexpr Corner kCorners[5] = {{-1.0, -1.0}, {1.0, -1.0}, {1.0, 1.0}, {-1.0, 1.0},
                                           {-1.0, -1.0}};
    const std::int32_t ph = wrap_pip(pip, 256);
    const std::int32_t k = ph / 64;
    const double s = smoothstep(static_cast<double>(ph % 64) * 0.015625);
    const Corner from = kCorners[k];
    const Corner to = kCorners[k + 1];
    return {(to.x - from.x) * s + from.x, (to.y - from.y) * s + from.y, 0.0};
}

Offset3 helix(std::int32_t pip) noexcept {
    const double u = phase_double(pip, 256) * 0.00390625;
    const double a = u * kFourPi;
    return {std::cos(a), std::sin(a), std::sin(u * kTwoPi)};
}

}  // namespace kinetrope
