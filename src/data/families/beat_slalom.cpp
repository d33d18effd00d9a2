// Drum slalom: side to side along an S, one run each way a bar, depth counter to
// the run; backbeats cut back against the travel, kicks lift off the S, low notes
// draw depth back, hits flick it, and the runs hurry where the score is busy.
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_slalom(const BeatInput& in) {
    const int period = in.period;
    const double bars = period / 256.0;
    const Track phase = score_phase(in.roles.all, period, 0.05, 24.0);
    // The loop starts at the left end of a run, where the point is slowest.
    const auto travel = [&](int pip) {
        return kTwoPi * bars * phase[static_cast<std::size_t>(pip)] - kPi / 2.0;
    };
    const std::vector<Hit>& backbeat = in.roles.backbeat;
    const Track cut = swells_after(backbeat, period, 6.0, 24.0, [&](std::size_t i) {
        return std::cos(travel(backbeat[i].pip)) >= 0.0 ? -1.0 : 1.0;
    });
    const Track lift = swells_after(in.roles.kick, period, 8.0, 32.0);
    const Track flick = alternating_detail(in.groove, period, 6.0, 12.0);
    const Track draw = swells_after(in.roles.bass, period, 8.0, 28.0);
    Track x(phase.size());
    Track y(phase.size());
    Track z(phase.size());
    for (std::size_t p = 0; p < phase.size(); ++p) {
        const double turn = travel(static_cast<int>(p));
        const double run = std::sin(turn);  // -1 at the left end, +1 at the right
        x[p] = 0.6 * run + 0.3 * soft_limit(cut[p], 1.0);
        y[p] = 0.32 * std::sin(kPi * run) - 0.15 + 0.45 * soft_limit(lift[p], 1.0);
        z[p] = -0.36 * std::cos(turn) + 0.3 * soft_limit(flick[p], 1.0) -
               0.22 * soft_limit(draw[p], 1.0);
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
