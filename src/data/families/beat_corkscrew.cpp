// Closed corkscrew: two steady turns round a leaning axis while depth rides one
// slow wave and heaves at low notes; percussion hits swell the radius by their
// weight and every hit twists depth round a cycle that stronger hits leap along.
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_corkscrew(const BeatInput& in) {
    const int period = in.period;
    // Kick, backbeat and hats each add their own swell, so a hit that doubles
    // another on one pip widens the coil further.
    Track swell = swells_after(in.roles.kick, period, 8.0, 24.0);
    for (const auto* role : {&in.roles.backbeat, &in.roles.hats}) {
        const Track more = swells_after(*role, period, 8.0, 24.0);
        for (std::size_t p = 0; p < swell.size(); ++p) swell[p] += more[p];
    }
    const Track twist =
        swells_after(in.roles.all, period, 5.0, 14.0, cycling_sides(in.roles.all));
    const Track heave = swells_after(in.roles.bass, period, 8.0, 40.0);
    Track x(swell.size());
    Track y(swell.size());
    Track z(swell.size());
    for (std::size_t p = 0; p < swell.size(); ++p) {
        const double t = phase_angle(static_cast<int>(p), period);
        const double radius = 0.26 + soft_limit(0.3 * swell[p], 0.42);
        // The coil's axis leans a little, so that the near and the far turn
        // part in the x-y view.
        const double lean = 0.15 * std::sin(t);
        x[p] = lean + radius * std::cos(2.0 * t);
        y[p] = radius * std::sin(2.0 * t);
        z[p] = 0.34 * std::sin(t) + 0.2 * soft_limit(heave[p], 1.0) +
               0.36 * soft_limit(twist[p], 1.0);
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
