// orbit: one turn a bar around the centre, hurrying through busy stretches
// of the score (the bass notes count too) and lingering in sparse ones; each
// hit swells the radius and pushes the point forward in depth, an accent
// most, a ghost least; the depth also drifts once over the phrase.
#include "beat_common.hpp"

namespace gen::beat {

Rows beat_orbit(const BeatInput& in) {
    const std::vector<Hit>& hits = in.roles.all;
    const auto size = static_cast<std::size_t>(in.period);
    // One turn a bar: a steady drift plus a share for every nearby hit.
    const Track angle =
        paced_angle(hits, in.period, 0.35, 12.0, 1.0, static_cast<double>(in.period) / 256.0);
    // Swell: up quickly at a hit, easing off over the gap that follows.
    Track swell(size, 0.0);
    add_swells(
        swell, hits, 8.0,
        [&](const Hit&, std::size_t i) {
            return std::min(40.0, static_cast<double>(gap_after(hits, i, in.period)));
        },
        [](const Hit& h, std::size_t) { return h.weight; });
    soft_limit(swell, 1.0);
    double mean_swell = 0.0;
    for (const double s : swell) mean_swell += s / static_cast<double>(size);

    Track x(size), y(size), z(size);
    for (std::size_t p = 0; p < size; ++p) {
        const double radius = 0.4 + 0.42 * swell[p];
        x[p] = radius * std::cos(angle[p]);
        y[p] = 0.85 * radius * std::sin(angle[p]);
        z[p] = 0.8 * (swell[p] - mean_swell) + phrase_wave(static_cast<int>(p), in.period, 0.15);
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
