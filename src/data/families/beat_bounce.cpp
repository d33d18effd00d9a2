// bounce: a downstroke on every kick, quick down and a longer recovery that
// every other hit lifts in a small tick; the backbeat throws side accents,
// alternating sides; in depth the point leans in on the kicks and back on the
// backbeat.
#include "beat_common.hpp"
#include "rhythm_common.hpp"

namespace gen::beat {

Rows beat_bounce(const BeatInput& in) {
    const Roles& r = in.roles;
    strokes::Lane down;
    for (const Hit& kick : r.kick) down.push_back({static_cast<double>(kick.pip), -0.78 * kick.weight, 8.0, 48.0});
    Track y = strokes::render_lane(down, in.period);
    add_bumps(y, without(r.all, r.kick), 6.0, [](const Hit& h, std::size_t) { return 0.24 * h.weight; });

    strokes::Lane side;
    for (std::size_t i = 0; i < r.backbeat.size(); ++i) {
        const double sign = i % 2 == 0 ? 1.0 : -1.0;
        side.push_back({static_cast<double>(r.backbeat[i].pip), 0.72 * sign * r.backbeat[i].weight, 12.0, 40.0});
    }
    const Track x = strokes::render_lane(side, in.period);

    Track z(static_cast<std::size_t>(in.period), 0.0);
    add_bumps(z, r.kick, 20.0, [](const Hit& h, std::size_t) { return 0.45 * h.weight; });
    add_bumps(z, r.backbeat, 28.0, [](const Hit& h, std::size_t) { return -0.35 * h.weight; });
    soft_limit(z, 0.8);
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
