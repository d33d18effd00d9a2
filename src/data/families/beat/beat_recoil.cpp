// recoil: each backbeat pushes the point sideways, sides alternating; each
// kick counters downward; three sixteenths after a backbeat a smaller echo
// draws it back the other way and away in depth; the rest of the score adds
// its texture.
#include "beat_common.hpp"

namespace gen::beat {
namespace {

constexpr int kEchoDelay = 48;

}  // namespace

Rows beat_recoil(const BeatInput& in) {
    const Roles& r = in.roles;
    const auto size = static_cast<std::size_t>(in.period);
    // A push: up in a few pips, easing off over a beat; the echo is a slower,
    // smaller swell in the opposite direction.
    const auto push = [](int t) {
        return lopsided_bump(static_cast<double>(t), 6.0, 6.0, 40.0, 4096.0);
    };
    const auto echo = [](int t) {
        return lopsided_bump(static_cast<double>(t), kEchoDelay + 8.0, 14.0, 30.0, 4096.0);
    };
    Track x(size, 0.0), y(size, 0.0), z(size, 0.0);
    std::size_t count = 0;
    for (const Hit& hit : backbeat_or_answer(r)) {
        const double side = alternate(count++);
        add_rings(x, {hit}, kEchoDelay + 40, [&](int t, const Hit& h) {
            return side * h.weight * (0.75 * push(t) - 0.4 * echo(t));
        });
        add_rings(z, {hit}, kEchoDelay + 40, [&](int t, const Hit& h) {
            return h.weight * (0.2 * push(t) - 0.6 * echo(t));
        });
    }
    // The kick's counter is lowest on the kick itself.
    add_swells(
        y, r.kick, 8.0,
        [&](const Hit&, std::size_t i) {
            return std::min(40.0, static_cast<double>(gap_after(r.kick, i, in.period)));
        },
        [](const Hit& h, std::size_t) { return -0.7 * h.weight; });
    // The rest of the score keeps the point from lying still between the
    // drums: the hats flutter it in depth.
    // The flutter is rounded off over a few pips so that dense hats do not
    // shake it faster than a moving head follows.
    const Texture rest = texture(in, 0.26);
    Track flutter(size);
    for (std::size_t p = 0; p < size; ++p) flutter[p] = rest.x[p] + rest.z[p] + rest.wheel_x[p];
    flutter = smoothed(flutter, 4);
    for (std::size_t p = 0; p < size; ++p) {
        z[p] += flutter[p] + phrase_wave(static_cast<int>(p), in.period, 0.12, 2.5);
        y[p] += rest.y[p] + rest.wheel_y[p];
    }
    soft_limit(x, 0.9);
    soft_limit(y, 0.9);
    soft_limit(z, 0.9);
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
