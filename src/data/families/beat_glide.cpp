// glide: one unbroken loop over the whole phrase, travelled faster where the
// score is busy; every bass note throws the point outward and up in an
// excursion that lasts as long as the note, while the other hits ripple the
// path in small ticks.
#include "beat_common.hpp"

namespace gen::beat {

Rows beat_glide(const BeatInput& in) {
    const Roles& r = in.roles;
    const auto size = static_cast<std::size_t>(in.period);
    Track pace(size, 1.0);
    add_bumps(pace, r.all, 16.0, [](const Hit& h, std::size_t) { return 0.8 * h.weight; });
    double total = 0.0;
    for (const double v : pace) total += v;

    // An excursion rises over six pips and falls back over the note's length.
    Track excursion(size, 0.0);
    add_swells(
        excursion, r.bass, 6.0,
        [&](const Hit&, std::size_t i) {
            return std::clamp(static_cast<double>(gap_after(r.bass, i, in.period)), 12.0, 64.0);
        },
        [](const Hit& h, std::size_t) { return h.weight; });
    soft_limit(excursion, 1.0);
    Track ripple(size, 0.0);
    add_bumps(ripple, without(r.percussion, r.bass), 6.0,
              [](const Hit& h, std::size_t i) { return (i % 2 == 0 ? 0.16 : -0.16) * h.weight; });

    Track x(size), y(size), z(size);
    double travelled = 0.0;
    for (std::size_t p = 0; p < size; ++p) {
        const double t = kTwoPi * travelled / total;
        const double out = 1.0 + 0.55 * excursion[p];
        x[p] = out * (0.5 * std::sin(t) + 0.08 * std::sin(2.0 * t));
        y[p] = out * 0.3 * std::cos(t) + 0.3 * excursion[p] + ripple[p];
        z[p] = 0.35 * std::sin(2.0 * t + 0.6) - 0.25 * excursion[p];
        travelled += pace[p];
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
