// surge: every kick thrusts the point forward through depth and lets it sink
// back; the backbeat (for a bare kick pulse every second kick) lifts it
// instead, drawing it back a little in depth for contrast; the hats add
// small sideways detail, alternating, and the rest of the score its texture.
#include "beat_common.hpp"

namespace gen::beat {

Rows beat_surge(const BeatInput& in) {
    const Roles& r = in.roles;
    const auto size = static_cast<std::size_t>(in.period);
    const auto until_next = [&](const std::vector<Hit>& hits, double longest) {
        return [&hits, longest, &in](const Hit&, std::size_t i) {
            return std::min(longest, static_cast<double>(gap_after(hits, i, in.period)));
        };
    };
    const std::vector<Hit> lifts = backbeat_or_answer(r);
    Track z(size, 0.0);
    add_swells(z, r.kick, 6.0, until_next(r.kick, 44.0),
               [](const Hit& h, std::size_t) { return 0.85 * h.weight; });
    add_swells(z, lifts, 10.0, until_next(lifts, 32.0),
               [](const Hit& h, std::size_t) { return -0.3 * h.weight; });
    soft_limit(z, 0.9);

    Track y(size, 0.0);
    add_swells(y, lifts, 10.0, until_next(lifts, 36.0),
               [](const Hit& h, std::size_t) { return 0.75 * h.weight; });
    add_swells(y, r.kick, 6.0, until_next(r.kick, 24.0),
               [](const Hit& h, std::size_t) { return -0.15 * h.weight; });
    soft_limit(y, 0.9);

    const Texture rest = texture(in, 0.32);
    Track x(size, 0.0);
    add_bumps(x, r.kick, 20.0, [](const Hit& h, std::size_t) { return 0.08 * h.weight; });
    for (std::size_t p = 0; p < size; ++p) {
        x[p] += rest.x[p] + rest.wheel_x[p] + phrase_wave(static_cast<int>(p), in.period, 0.12, 1.0);
        y[p] += 0.8 * rest.y[p] + rest.wheel_y[p];
        z[p] += 0.8 * rest.z[p];
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
