// step: lateral steps that alternate, each kick stepping one way and each
// backbeat (for a bare kick pulse every second kick) the other, further for
// a stronger hit, and a kick struck with the backbeat to the side the point
// is not on; the point rises a little while it travels, and in depth
// it leans with the side it steps to over a slow phrase swell; the rest of
// the score adds its texture.
#include <cmath>

#include "beat_shaping.hpp"

namespace gen::beat {

Rows beat_step(const BeatInput& in) {
    const Roles& r = in.roles;
    std::vector<Goal> goals;
    for (const SidedHit& s : turning_kick_and_answer(r)) {
        goals.push_back({s.hit.pip, s.side * (0.3 + 0.5 * s.hit.weight)});
    }
    // In a run of steps to one side every second one comes most of the way
    // back, so the point steps out and in.
    bool back = false;
    for (std::size_t i = 1; i < goals.size(); ++i) {
        const bool same_side = (goals[i].target > 0.0) == (goals[i - 1].target > 0.0);
        back = same_side && !back;
        if (back) goals[i].target *= 0.4;
    }
    Track lift;
    Track x = eased_goals(goals, in.period, 24, &lift);

    // The rest of the score: the hats flick the point up and down (and shuffle
    // it a touch), bass notes and other percussion add their own texture.
    // A dense score's texture is calmed until it turns back no faster than
    // a moving head follows.
    const Texture rest = texture(in, 0.26);
    Track shuffle(x.size()), flick(x.size());
    for (std::size_t p = 0; p < x.size(); ++p) {
        shuffle[p] = rest.x[p] + rest.wheel_x[p];
        flick[p] = 0.8 * shuffle[p] + rest.y[p] + rest.wheel_y[p];
    }
    shuffle = tamed(shuffle, 6);
    flick = tamed(flick, 6);
    Track y(x.size()), z(x.size());
    for (std::size_t p = 0; p < x.size(); ++p) {
        y[p] = 0.3 * lift[p] + flick[p];
        z[p] = -0.45 * x[p] + rest.z[p] + phrase_wave(static_cast<int>(p), in.period, 0.15, 2.0);
        x[p] += 0.35 * shuffle[p];
    }
    y = tamed(y);
    soft_limit(x, 0.9);
    soft_limit(y, 0.9);
    soft_limit(z, 0.9);
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
