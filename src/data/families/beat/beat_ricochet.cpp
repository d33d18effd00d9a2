// Directional ricochet: each onset sends the point from rest toward the next of
// five targets on a tilted ring, in star order and further along for stronger
// hits; it eases home before the next onset, reaching as far as its weight allows.
#include <algorithm>
#include <array>

#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_ricochet(const BeatInput& in) {
    const int period = in.period;
    const std::vector<Hit>& hits = in.roles.all;
    std::array<Row, 5> targets;
    for (std::size_t k = 0; k < targets.size(); ++k) {
        const double a = kTwoPi * static_cast<double>(2 * k) / 5.0 + kPi / 2.0;
        targets[k] = {0.75 * std::cos(a), 0.6 * std::sin(a), 0.55 * std::sin(a + 1.0)};
    }
    const auto size = static_cast<std::size_t>(period);
    Track x(size, 0.0);
    Track y(size, -0.1);  // home, a little below and in front of the centre
    Track z(size, 0.1);
    std::size_t target = 0;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const int gap = gap_after(hits, i, period);
        const double rise = std::min(10.0, 0.45 * gap);
        const double fall = std::min(48.0, gap - rise);
        // A shot with less than a sixteenth and a half before the next onset
        // is only a twitch: a run of them would shake faster than a moving
        // head can follow.
        const double room = std::clamp((gap - 12.0) / 8.0, 0.25, 1.0);
        const double reach = hits[i].weight * std::min(1.0, gap / 20.0) * room;
        target = (target + leap(hits[i].weight)) % targets.size();
        const Row& aim = targets[target];
        for (int d = 1; d < gap; ++d) {
            const double s = reach * swell_at(d, rise, fall);
            const auto at = static_cast<std::size_t>((hits[i].pip + d) % period);
            x[at] += s * aim.x;
            y[at] += s * aim.y;
            z[at] += s * aim.z;
        }
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
