// Woven figure eight: one eight a bar, lobes on beats 1 and 3 that swell after
// kicks, crossings on 2 and 4 that backbeats lift; every lane's full hits weave
// depth to alternate sides, and the eight hurries where the score is busy.
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_figure8(const BeatInput& in) {
    const int period = in.period;
    const double bars = period / 256.0;
    const Track phase = score_phase(in.roles.all, period, 0.06, 32.0);
    const Track swell = swells_after(in.roles.kick, period, 12.0, 52.0);
    const Track lift = swells_after(in.roles.backbeat, period, 8.0, 32.0);
    const Track weave = alternating_detail(in.groove, period, 7.0, 14.0);
    Track x(phase.size());
    Track y(phase.size());
    Track z(phase.size());
    for (std::size_t p = 0; p < phase.size(); ++p) {
        const int pip = static_cast<int>(p);
        const double size = 0.45 + 0.4 * soft_limit(swell[p], 1.0);
        const double turn = kTwoPi * bars * phase[p] - kPi / 2.0;
        x[p] = size * std::sin(turn);
        y[p] = 0.6 * size * std::sin(2.0 * turn) + 0.45 * soft_limit(lift[p], 1.0) - 0.15;
        const double drift = phrase_wave(pip, period, 0.15);
        z[p] = 0.33 * std::cos(turn) + drift + 0.36 * soft_limit(weave[p], 1.0);
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
