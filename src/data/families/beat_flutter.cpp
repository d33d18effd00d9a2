// flutter: a wide, slow arc swung from side to side by the kick and the
// backbeat, with small fast tremors riding on it: each hat or shaker hit
// sets the point quivering for a moment, on all three axes; the arc drifts
// in depth over the phrase and the rest of the score adds its texture.
#include <cmath>

#include "beat_common.hpp"

namespace gen::beat {

Rows beat_flutter(const BeatInput& in) {
    const Roles& r = in.roles;
    const auto size = static_cast<std::size_t>(in.period);
    // The arc: an angle swung to one side by each kick, to the other by each
    // backbeat, over most of the gap to the next drum.
    std::vector<Goal> swings;
    for (const SidedHit& s : kick_and_answer(r)) {
        swings.push_back({s.hit.pip, s.side * (0.45 + 0.45 * s.hit.weight)});
    }
    const Track angle = eased_goals(swings, in.period, 64);

    // A tremor: a few quick quivers, fading within a sixteenth and a half.
    constexpr int kTremor = 24;
    const auto tremor = [](int t, const Hit& h) {
        const double fade = 1.0 - static_cast<double>(t) / kTremor;
        return h.weight * fade * fade * std::sin(kTwoPi * t / 8.0);
    };
    Track shiver(size, 0.0);
    add_rings(shiver, r.hats, kTremor, tremor);
    soft_limit(shiver, 1.0);

    // Low notes that the kick does not double sway the arc in depth.
    Track sway(size, 0.0);
    add_bumps(sway, without(r.bass, r.kick), 24.0,
              [](const Hit& h, std::size_t) { return 0.25 * h.weight; });

    const Texture rest = texture(in, 0.15);
    Track x(size), y(size), z(size);
    for (std::size_t p = 0; p < size; ++p) {
        const double a = angle[p];
        x[p] = 0.62 * std::sin(a) + 0.13 * shiver[p] + rest.x[p] + rest.wheel_x[p];
        y[p] = 0.45 - 0.7 * std::cos(a) + 0.22 * shiver[p] + rest.y[p] + rest.wheel_y[p];
        z[p] = 0.3 * std::sin(0.5 * a) + 0.16 * shiver[p] + sway[p] +
               phrase_wave(static_cast<int>(p), in.period, 0.15, 1.5) + rest.z[p];
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
