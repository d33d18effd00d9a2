// Breathing spiral: two turns a loop while the radius contracts from wide to
// tight and expands back, one breath a loop, so the path spirals in and out
// again with no break at the seam; the turning runs with the score's weight,
// each hit briefly widens the radius, and depth follows the breath.
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_spiral(const BeatInput& in) {
    const int period = in.period;
    const std::vector<double> phase = score_phase(in.roles.all, period, 0.006, 8.0);
    // Every layer of the score adds its own swell, so a hit that doubles
    // another on the same pip still widens the turn.
    std::vector<double> widen = swells(in.roles.all, period, 4.0, 12.0);
    for (const auto* role : {&in.roles.kick, &in.roles.backbeat, &in.roles.bass}) {
        const std::vector<double> more = swells(*role, period, 4.0, 12.0);
        for (std::size_t p = 0; p < widen.size(); ++p) widen[p] += more[p];
    }
    std::vector<double> x(phase.size());
    std::vector<double> y(phase.size());
    std::vector<double> z(phase.size());
    for (std::size_t p = 0; p < phase.size(); ++p) {
        const double breath = 0.5 + 0.5 * std::cos(phase_angle(static_cast<int>(p), period));
        const double radius = 0.12 + 0.6 * breath + 0.25 * soften(widen[p], 2.0);
        const double turn = kTwoPi * 2.0 * phase[p];
        x[p] = radius * std::cos(turn);
        y[p] = radius * std::sin(turn);
        z[p] = 0.8 * (breath - 0.5);
    }
    return rows_within(in.dimensions, x, y, z);
}

}  // namespace gen::beat
