// step: lateral steps that alternate, each kick stepping one way and each
// backbeat the other, further for a stronger hit; the point rises a little
// while it travels and every other hit ticks under it; in depth it leans
// with the side it steps to and the same hits add detail.
#include <cmath>

#include "beat_common.hpp"

namespace gen::beat {

Rows beat_step(const BeatInput& in) {
    const Roles& r = in.roles;
    // Kick and backbeat in time order; where both fall on one pip the
    // stronger decides the side (the kick on a tie).
    std::vector<Goal> goals;
    std::size_t k = 0, b = 0;
    while (k < r.kick.size() || b < r.backbeat.size()) {
        const bool kick_first = b == r.backbeat.size() ||
                                (k < r.kick.size() && r.kick[k].pip <= r.backbeat[b].pip);
        Hit hit = kick_first ? r.kick[k++] : r.backbeat[b++];
        double side = kick_first ? -1.0 : 1.0;
        if (kick_first && b < r.backbeat.size() && r.backbeat[b].pip == hit.pip) {
            if (r.backbeat[b].weight > hit.weight) side = 1.0;
            hit.weight = std::max(hit.weight, r.backbeat[b++].weight);
        }
        goals.push_back({hit.pip, side * (0.3 + 0.5 * hit.weight)});
    }
    // In a run of steps to one side every second one comes most of the way
    // back, so a bare kick pulse still steps out and in.
    bool back = false;
    for (std::size_t i = 1; i < goals.size(); ++i) {
        const bool same_side = (goals[i].target > 0.0) == (goals[i - 1].target > 0.0);
        back = same_side && !back;
        if (back) goals[i].target *= 0.4;
    }
    Track lift;
    const Track x = eased_goals(goals, in.period, 24, &lift);

    Track y(static_cast<std::size_t>(in.period), 0.0);
    for (std::size_t p = 0; p < y.size(); ++p) y[p] = 0.3 * lift[p];
    const std::vector<Hit> ticks = without(without(r.all, r.kick), r.backbeat);
    add_bumps(y, ticks, 6.0, [](const Hit& h, std::size_t) { return -0.22 * h.weight; });

    Track z(y.size(), 0.0);
    for (std::size_t p = 0; p < z.size(); ++p) z[p] = -0.45 * x[p];
    add_bumps(z, ticks, 8.0,
              [](const Hit& h, std::size_t i) { return (i % 2 == 0 ? 0.3 : -0.3) * h.weight; });
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
