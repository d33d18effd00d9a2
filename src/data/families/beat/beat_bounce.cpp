// bounce: a downstroke on every kick, quick down and a longer recovery; the
// backbeat throws side accents, alternating sides; in depth the point leans
// in on the kicks and back on the backbeat over a slow phrase swell; the rest
// of the score (hats, bass notes, other percussion) adds its texture.
#include "beat_common.hpp"
#include "strokes.hpp"

namespace gen::beat {

Rows beat_bounce(const BeatInput& in) {
    const Roles& r = in.roles;
    const Texture texture_of = texture(in, 0.27);
    strokes::Lane down;
    for (const Hit& kick : r.kick) {
        down.push_back({static_cast<double>(kick.pip), -0.78 * kick.weight, 8.0, 48.0});
    }
    Track y = strokes::render_lane(down, in.period);

    strokes::Lane side;
    for (std::size_t i = 0; i < r.backbeat.size(); ++i) {
        side.push_back({static_cast<double>(r.backbeat[i].pip), 0.72 * alternate(i) * r.backbeat[i].weight,
                        12.0, 40.0});
    }
    Track x = strokes::render_lane(side, in.period);
    for (std::size_t p = 0; p < x.size(); ++p) {
        x[p] += texture_of.x[p] + texture_of.wheel_x[p];
        y[p] += texture_of.y[p] + 0.25 * texture_of.wheel_y[p];
    }

    Track z(static_cast<std::size_t>(in.period), 0.0);
    add_bumps(z, r.kick, 20.0, [](const Hit& h, std::size_t) { return 0.45 * h.weight; });
    add_bumps(z, r.backbeat, 28.0, [](const Hit& h, std::size_t) { return -0.35 * h.weight; });
    for (std::size_t p = 0; p < z.size(); ++p) {
        z[p] += texture_of.z[p] + 0.5 * texture_of.wheel_y[p] + phrase_wave(static_cast<int>(p), in.period, 0.15, 0.5);
    }
    soft_limit(z, 0.8);
    soft_limit(x, 0.9);
    soft_limit(y, 0.9);
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
