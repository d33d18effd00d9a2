// Directional ricochet: each onset sends the point out toward the next of five
// targets round a tilted ring, taken in star order so successive shots cross
// the middle, and it eases home before the next onset; the shot's reach is the
// hit's weight, shortened where the next onset comes too soon to get far.
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
    const Row home = {0.0, -0.1, 0.1};
    Rows rows(static_cast<std::size_t>(period), home);
    std::size_t target = 0;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const int next = hits[(i + 1) % hits.size()].pip;
        int gap = next - hits[i].pip;
        if (gap <= 0) gap += period;
        const double rise = std::min(10.0, 0.45 * gap);
        const double fall = std::min(48.0, gap - rise);
        const double reach = hits[i].weight * std::min(1.0, gap / 20.0);
        // A stronger hit leaps further along the series.
        target = (target + leap(hits[i].weight)) % targets.size();
        const Row& aim = targets[target];
        for (int d = 1; d < gap; ++d) {
            const double s = reach * swell_at(d, rise, fall);
            Row& row = rows[static_cast<std::size_t>((hits[i].pip + d) % period)];
            row.x += s * aim.x;
            row.y += s * aim.y;
            row.z += s * aim.z;
        }
    }
    if (in.dimensions < 3) {
        for (Row& row : rows) row.z = 0.0;
    }
    if (in.dimensions < 2) {
        for (Row& row : rows) row.y = 0.0;
    }
    return rows;
}

}  // namespace gen::beat
