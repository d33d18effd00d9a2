// Closed corkscrew: two steady turns round the loop while depth rides one slow
// wave forward and back, so the path is a coil that closes on itself; every
// percussion hit swells the radius by its weight.
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_corkscrew(const BeatInput& in) {
    const int period = in.period;
    // Kick, backbeat and hats each add their own swell, so a hit that doubles
    // another on the same pip still widens the coil.
    std::vector<double> swell = swells(in.roles.kick, period, 4.0, 16.0);
    for (const auto* role : {&in.roles.backbeat, &in.roles.percussion}) {
        const std::vector<double> more = swells(*role, period, 4.0, 16.0);
        for (std::size_t p = 0; p < swell.size(); ++p) swell[p] += more[p];
    }
    const std::vector<double> heave = swells(in.roles.bass, period, 8.0, 40.0);
    std::vector<double> x(swell.size());
    std::vector<double> y(swell.size());
    std::vector<double> z(swell.size());
    for (std::size_t p = 0; p < swell.size(); ++p) {
        const double t = phase_angle(static_cast<int>(p), period);
        const double radius = 0.25 + 0.32 * soften(swell[p], 2.0);
        x[p] = radius * std::cos(2.0 * t);
        y[p] = radius * std::sin(2.0 * t);
        z[p] = 0.45 * std::sin(t) + 0.35 * soften(heave[p], 1.0);
    }
    return rows_within(in.dimensions, x, y, z);
}

}  // namespace gen::beat
