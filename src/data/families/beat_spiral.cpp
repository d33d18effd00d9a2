// Breathing spiral: two turns a loop, out from a tight seam to the widest point
// and back in, depth following the breath; the turning runs with the score's
// weight, hits nudge the radius out and in, and full hits ripple depth.
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_spiral(const BeatInput& in) {
    constexpr double kRounding = 0.97;
    const int period = in.period;
    const Track phase = score_phase(in.roles.all, period, 0.012, 12.0);
    const Track wobble = swells_after(in.roles.all, period, 6.0, 18.0, alternate);
    const Track ripple = alternating_detail(in.groove, period, 6.0, 12.0);
    Track x(phase.size());
    Track y(phase.size());
    Track z(phase.size());
    for (std::size_t p = 0; p < phase.size(); ++p) {
        // A triangle wave with rounded tips over the same phase as the turning:
        // the first turn widens at an even pace from the tightest point, at
        // the seam, to the widest, the second narrows back, so each turn
        // visibly spirals.
        const double breath =
            0.5 - 0.5 * std::asin(kRounding * std::cos(kTwoPi * phase[p])) / std::asin(kRounding);
        const double radius = 0.14 + 0.6 * breath + 0.1 * soft_limit(wobble[p], 1.0);
        const double turn = kTwoPi * 2.0 * phase[p];
        x[p] = radius * std::cos(turn);
        y[p] = radius * std::sin(turn);
        z[p] = 0.7 * (breath - 0.5) + 0.32 * soft_limit(ripple[p], 1.0);
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
