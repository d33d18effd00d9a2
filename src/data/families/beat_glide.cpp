// glide: one unbroken loop over the whole phrase, travelled faster where the
// score is busy; every bass note throws the point outward and up in an
// excursion that lasts as long as the note, while the backbeat nudges it
// from side to side and the rest of the score ripples it with its texture.
#include <cmath>

#include "beat_common.hpp"

namespace gen::beat {

Rows beat_glide(const BeatInput& in) {
    const Roles& r = in.roles;
    const auto size = static_cast<std::size_t>(in.period);
    const Track travel = paced_angle(r.all, in.period, 1.0, 16.0, 0.8, 1.0);

    // An excursion rises over a sixteenth and falls back over the note's length.
    Track excursion(size, 0.0);
    add_swells(
        excursion, r.bass, 16.0,
        [&](const Hit&, std::size_t i) {
            return std::clamp(static_cast<double>(gap_after(r.bass, i, in.period)), 16.0, 64.0);
        },
        [](const Hit& h, std::size_t) { return h.weight; });
    soft_limit(excursion, 1.0);
    const Texture rest = texture(in, 0.3);
    const Track nudge = flicks(r.backbeat, in.period, 0.3, 10.0);

    Track x(size), y(size), z(size);
    for (std::size_t p = 0; p < size; ++p) {
        // Starting a little way round keeps the steepest stretch of every
        // axis away from the seam.
        const double t = travel[p] + 0.8;
        // The phrase loop, and the excursion straight out from its centre,
        // a little up and back in depth.
        const double across = 0.45 * std::sin(t) + 0.07 * std::sin(2.0 * t);
        const double up = 0.3 * std::cos(t);
        const double out = 0.42 * excursion[p] / std::hypot(across, up);
        x[p] = across * (1.0 + out) + rest.x[p] + rest.wheel_x[p] + nudge[p];
        y[p] = up * (1.0 + out) + 0.12 * excursion[p] + rest.y[p];
        z[p] = 0.35 * std::sin(2.0 * t + 0.6) - 0.3 * excursion[p] + rest.z[p] + rest.wheel_y[p];
    }
    // A glide has no corners: the texture is felt, not jerked.
    x = smoothed(x, 6);
    y = smoothed(y, 6);
    z = smoothed(z, 6);
    soft_limit(x, 0.9);
    soft_limit(y, 0.9);
    soft_limit(z, 0.9);
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
