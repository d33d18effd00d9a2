// Drum slalom: the point weaves side to side, one S a bar, while depth swings
// against it at twice the rate, drawing an S seen from above; each backbeat
// cuts back with a quick hook against the direction of travel, each kick lifts
// it. The weave hurries where the score is busy.
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_slalom(const BeatInput& in) {
    const int period = in.period;
    const double bars = period / 256.0;
    const std::vector<double> phase = score_phase(in.roles.all, period, 0.05, 24.0);
    const auto travel = [&](int pip) {
        return kTwoPi * bars * phase[static_cast<std::size_t>(pip)];
    };
    const std::vector<Hit>& backbeat = in.roles.backbeat;
    const std::vector<double> cut = swells(backbeat, period, 5.0, 22.0, [&](std::size_t i) {
        return std::cos(travel(backbeat[i].pip)) >= 0.0 ? -1.0 : 1.0;
    });
    const std::vector<double> lift = swells(in.roles.kick, period, 5.0, 30.0);
    const std::vector<double> flick = swells(in.roles.all, period, 4.0, 10.0, alternate_emphasised(in.roles.all));
    std::vector<double> x(phase.size());
    std::vector<double> y(phase.size());
    std::vector<double> z(phase.size());
    for (std::size_t p = 0; p < phase.size(); ++p) {
        const double turn = travel(static_cast<int>(p));
        x[p] = 0.6 * std::sin(turn) + 0.3 * soften(cut[p], 1.0);
        y[p] = -0.35 + 0.75 * soften(lift[p], 1.0);
        z[p] = -0.45 * std::sin(2.0 * turn) + 0.35 * soften(flick[p], 1.0);
    }
    return rows_within(in.dimensions, x, y, z);
}

}  // namespace gen::beat
