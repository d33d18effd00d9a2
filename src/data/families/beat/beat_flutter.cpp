// flutter: a wide arc swung from side to side by the kick and the backbeat
// (a kick struck with the backbeat swings to the side the point is not on),
// taking the whole gap to the next drum to get there (in a run of drums on
// one side every second one swings halfway back), with tremors riding on
// it: each hat or shaker hit sets the point quivering for a moment, on all
// three axes, in quivers no quicker than a moving head follows; the arc
// drifts in depth over the phrase and the rest of the score adds its texture.
#include <cmath>

#include "beat_shaping.hpp"

namespace gen::beat {

Rows beat_flutter(const BeatInput& in) {
    const Roles& r = in.roles;
    const auto size = static_cast<std::size_t>(in.period);
    // The arc: an angle swung to one side by each kick, to the other by each
    // backbeat, over the whole gap to the next drum.
    std::vector<Goal> swings;
    for (const SidedHit& s : turning_kick_and_answer(r)) {
        swings.push_back({s.hit.pip, s.side * (0.2 + 0.75 * s.hit.weight)});
    }
    // In a run of swings to one side every second one comes halfway
    // back, so that a run of kicks alone still swings out and in.
    bool back = false;
    for (std::size_t i = 1; i < swings.size(); ++i) {
        const bool same_side = (swings[i].target > 0.0) == (swings[i - 1].target > 0.0);
        back = same_side && !back;
        if (back) swings[i].target *= 0.5;
    }
    const Track angle = eased_goals(swings, in.period, in.period);

    // A tremor: two quivers of a triplet eighth each, fading over a beat.
    constexpr int kTremor = 2 * 64 / 3;
    constexpr double kQuiver = 64.0 / 3.0;
    const auto tremor = [](int t, const Hit& h) {
        const double fade = 1.0 - static_cast<double>(t) / (2.0 * kQuiver);
        return h.weight * fade * fade * std::sin(kTwoPi * t / kQuiver);
    };
    Track shiver(size, 0.0);
    add_rings(shiver, r.hats, kTremor, tremor);
    soft_limit(shiver, 1.0);

    // Low notes that the kick does not double sway the arc in depth.
    Track sway(size, 0.0);
    add_bumps(sway, without(r.bass, r.kick), 24.0,
              [](const Hit& h, std::size_t) { return 0.25 * h.weight; });

    const Texture rest = texture(in, 0.26);
    Track x(size), y(size), z(size);
    for (std::size_t p = 0; p < size; ++p) {
        const double a = angle[p];
        x[p] = 0.62 * std::sin(a) + 0.12 * shiver[p] + 0.5 * (rest.x[p] + rest.wheel_x[p]);
        y[p] = 0.45 - 0.7 * std::cos(a) + 0.3 * shiver[p] + rest.y[p] + rest.wheel_y[p];
        z[p] = 0.3 * std::sin(0.5 * a) + 0.22 * shiver[p] + sway[p] +
               phrase_wave(static_cast<int>(p), in.period, 0.15, 1.5) + rest.z[p];
    }
    x = tamed(x);
    y = tamed(y);
    z = tamed(z);
    soft_limit(x, 0.9);
    soft_limit(y, 0.9);
    soft_limit(z, 0.9);
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
