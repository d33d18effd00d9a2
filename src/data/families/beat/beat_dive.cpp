// Bass-led dive: each bass note starts a broad plunge into depth that recovers
// slowly; full drum hits swing the point to alternate sides as a counterweight
// and kicks and backbeats lift it, while depth drifts once round the loop.
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_dive(const BeatInput& in) {
    const int period = in.period;
    const Track plunge = swells_after(in.roles.bass, period, 14.0, 90.0);
    const Track sway = swells_after(in.roles.percussion, period, 6.0, 26.0,
                                     full_hits_alternate(in.roles.percussion));
    const Track lift =
        swells_after(merge_hits(in.roles.kick, in.roles.backbeat), period, 6.0, 24.0);
    Track x(plunge.size());
    Track y(plunge.size());
    Track z(plunge.size());
    for (std::size_t p = 0; p < plunge.size(); ++p) {
        const int pip = static_cast<int>(p);
        // Scaled so that a busy bass line still has room to plunge further.
        const double depth = soft_limit(plunge[p] / 1.5, 1.0);
        x[p] = soft_limit(0.6 * sway[p], 0.75);
        y[p] = 0.05 - 0.35 * depth + 0.45 * soft_limit(lift[p], 1.0);
        z[p] = 0.3 - 1.05 * depth + phrase_wave(pip, period, 0.1, kPi / 2.0);
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
