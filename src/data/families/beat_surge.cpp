// surge: every kick thrusts the point forward through depth and lets it sink
// back; the backbeat lifts it instead, drawing it back a little in depth for
// contrast; the hats and every other hit add small sideways detail,
// alternating.
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
    Track z(size, 0.0);
    add_swells(z, r.kick, 6.0, until_next(r.kick, 44.0),
               [](const Hit& h, std::size_t) { return 0.85 * h.weight; });
    add_swells(z, r.backbeat, 10.0, until_next(r.backbeat, 32.0),
               [](const Hit& h, std::size_t) { return -0.3 * h.weight; });
    soft_limit(z, 0.9);

    Track y(size, 0.0);
    add_swells(y, r.backbeat, 10.0, until_next(r.backbeat, 36.0),
               [](const Hit& h, std::size_t) { return 0.75 * h.weight; });
    add_swells(y, r.kick, 6.0, until_next(r.kick, 24.0),
               [](const Hit& h, std::size_t) { return -0.15 * h.weight; });
    soft_limit(y, 0.9);

    Track x(size, 0.0);
    add_bumps(x, without(without(r.all, r.kick), r.backbeat), 7.0,
              [](const Hit& h, std::size_t i) { return (i % 2 == 0 ? 0.3 : -0.3) * h.weight; });
    add_bumps(x, r.kick, 20.0, [](const Hit& h, std::size_t) { return 0.08 * h.weight; });
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
