// orbit: one turn a bar around the centre, each drum acting on the orbit in
// its own way. A kick hurries the point on and throws it outward and
// forward; the backbeat draws it in and back (it wins where both sound); hats and other upper
// percussion shimmer in the detail (an accent among them lifts it), with the rest of the score's texture; a fill (the hits that set a bar apart
// from the groove's prevailing bar) flings it wide, alternately forward and
// back. The depth also drifts once over the phrase.
#include "beat_fill.hpp"
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_orbit(const BeatInput& in) {
    const Roles& r = in.roles;
    const int period = in.period;
    const auto size = static_cast<std::size_t>(period);
    const std::vector<Hit> hats = without(r.hats, merge_hits(r.kick, r.backbeat));
    const std::vector<Hit> fills = fill_hits(in.groove);
    // Where a kick and the backbeat coincide, the backbeat draws the point in.
    const std::vector<Hit> kicks = without(r.kick, r.backbeat);

    // Speed: a slow drift, a surge at every kick, a smaller one at the
    // backbeat, a flicker at the hats, a rush through a fill.
    Track speed(size, 0.3);
    add_bumps(speed, r.kick, 10.0, [](const Hit& h, std::size_t) { return 1.1 * h.weight; });
    add_bumps(speed, r.backbeat, 10.0, [](const Hit& h, std::size_t) { return 0.5 * h.weight; });
    add_bumps(speed, hats, 12.0, [](const Hit& h, std::size_t) { return 0.3 * h.weight; });
    add_bumps(speed, fills, 12.0, [](const Hit& h, std::size_t) { return 1.6 * h.weight; });
    const Track angle = angle_from_speed(speed, period / 256.0);

    const Track out = swells_after(kicks, period, 6.0, 40.0);
    const Track in_ = swells_after(r.backbeat, period, 5.0, 34.0);
    const Track shimmer = swells_after(hats, period, 5.0, 14.0, full_hits_alternate(hats));
    const Track fling = swells_after(fills, period, 12.0, 40.0);
    const Track pitch = swells_after(fills, period, 12.0, 40.0, [](std::size_t i) { return alternate(i); });

    const Track flash = swells_after(accents_of(hats), period, 6.0, 20.0);
    const Texture rest = texture(in, 0.08);

    Track x(size), y(size), z(size);
    for (std::size_t p = 0; p < size; ++p) {
        const double radius =
            soft_limit(0.46 + 0.34 * soft_limit(out[p], 1.0) - 0.3 * soft_limit(in_[p], 1.0) +
                           0.12 * soft_limit(shimmer[p], 1.0) + 0.5 * soft_limit(fling[p], 1.0),
                       0.92);
        x[p] = radius * std::cos(angle[p]) + rest.x[p] + rest.wheel_x[p];
        y[p] = 0.85 * radius * std::sin(angle[p]) + rest.y[p];
        z[p] = 0.45 * soft_limit(out[p], 1.0) - 0.4 * soft_limit(in_[p], 1.0) +
               0.06 * soft_limit(shimmer[p], 1.0) + 0.6 * soft_limit(pitch[p], 1.0) +
               phrase_wave(static_cast<int>(p), period, 0.12) + rest.z[p] + rest.wheel_y[p] +
               0.25 * soft_limit(flash[p], 1.0);
    }
    double mean = 0.0;
    for (const double v : z) mean += v / static_cast<double>(size);
    for (double& v : z) v = soft_limit(v - mean, 0.9);
    limit_peaks(x, 0.75, 0.92);
    limit_peaks(y, 0.75, 0.92);
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
