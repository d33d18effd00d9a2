#include "kinetrope/strokes.hpp"

#include <cmath>

namespace kinetrope {
namespace {

constexpr double kPi = 3.141592653589793;
// Every stroke also dips the point; this is the vertical share of its envelope.
constexpr double kVerticalShare = 0.72;

constexpr std::int32_t R = 1;
constexpr std::int32_t L = -1;

constexpr Stroke kSingleStrokeRoll[] = {
    {0, R, 0.92, 8},  {8, L, 0.92, 8},  {16, R, 0.92, 8}, {24, L, 0.92, 8},
    {32, R, 0.92, 8}, {40, L, 0.92, 8}, {48, R, 0.92, 8}, {56, L, 0.92, 8},
};

constexpr Stroke kDoubleStrokeRoll[] = {
    {0, R, 0.88, 8},  {8, R, 0.72, 8},  {16, L, 0.88, 8}, {24, L, 0.72, 8},
    {32, R, 0.88, 8}, {40, R, 0.72, 8}, {48, L, 0.88, 8}, {56, L, 0.72, 8},
};

constexpr Stroke kMultipleBounceRoll[] = {
    {0, R, 0.92, 6},  {6, R, 0.68, 6},  {12, R, 0.48, 6}, {18, R, 0.32, 6},
    {32, L, 0.92, 6}, {38, L, 0.68, 6}, {44, L, 0.48, 6}, {50, L, 0.32, 6},
};

constexpr Stroke kSingleParadiddle[] = {
    {0, R, 1.0, 8},   {8, L, 0.72, 8},   {16, R, 0.72, 8},  {24, R, 0.72, 8},
    {32, L, 1.0, 8},  {40, R, 0.72, 8},  {48, L, 0.72, 8},  {56, L, 0.72, 8},
    {64, R, 1.0, 8},  {72, L, 0.72, 8},  {80, R, 0.72, 8},  {88, R, 0.72, 8},
    {96, L, 1.0, 8},  {104, R, 0.72, 8}, {112, L, 0.72, 8}, {120, L, 0.72, 8},
};

constexpr Stroke kFlam[] = {
    {0, L, 0.34, 10}, {5, R, 0.9, 14}, {32, R, 0.34, 10}, {37, L, 0.9, 14},
};

constexpr Stroke kDrag[] = {
    {0, L, 0.28, 8},  {5, L, 0.32, 8},  {10, R, 0.88, 14},
    {32, R, 0.28, 8}, {37, R, 0.32, 8}, {42, L, 0.88, 14},
};

constexpr Stroke kFiveStrokeRoll[] = {
    {0, R, 0.72, 9},  {8, R, 0.62, 9},  {16, L, 0.72, 9}, {24, L, 0.62, 9},  {36, R, 1.0, 14},
    {64, L, 0.72, 9}, {72, L, 0.62, 9}, {80, R, 0.72, 9}, {88, R, 0.62, 9}, {100, L, 1.0, 14},
};

double limit(double v) { return v > 1.0 ? 1.0 : v < -1.0 ? -1.0 : v; }

}  // namespace

Offset3 evaluate_strokes(std::int32_t pip, std::int32_t period,
                         std::span<const Stroke> strokes) noexcept {
    double sx = 0.0;
    double sy = 0.0;
    const std::int32_t ph = wrap_pip(pip, period);
    for (const Stroke& stroke : strokes) {
        // A stroke that runs past the end of the period carries on at phase 0.
        // The difference is usually already in range; the division is only
        // needed when it is not.
        const std::int32_t difference = ph - stroke.start;
        const std::int32_t local = difference >= 0 && difference < period
                                       ? difference
                                       : wrap_pip(difference, period);
        double e = 0.0;
        if (local < stroke.length) {
            const double s = std::sin(static_cast<double>(local) / static_cast<double>(stroke.length) * kPi);
            e = (s * stroke.accent) * s;
        }
        sx = sx + static_cast<double>(stroke.hand) * e;
        sy = sy - e * kVerticalShare;
    }
    return {limit(sx), limit(sy), 0.0};
}

Offset3 single_stroke_roll(std::int32_t pip) noexcept { return evaluate_strokes(pip, 64, kSingleStrokeRoll); }
Offset3 double_stroke_roll(std::int32_t pip) noexcept { return evaluate_strokes(pip, 64, kDoubleStrokeRoll); }
Offset3 multiple_bounce_roll(std::int32_t pip) noexcept { return evaluate_strokes(pip, 64, kMultipleBounceRoll); }
Offset3 single_paradiddle(std::int32_t pip) noexcept { return evaluate_strokes(pip, 128, kSingleParadiddle); }
Offset3 flam(std::int32_t pip) noexcept { return evaluate_strokes(pip, 64, kFlam); }
Offset3 drag(std::int32_t pip) noexcept { return evaluate_strokes(pip, 64, kDrag); }
Offset3 five_stroke_roll(std::int32_t pip) noexcept { return evaluate_strokes(pip, 128, kFiveStrokeRoll); }

}  // namespace kinetrope
