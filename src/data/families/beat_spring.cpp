// spring: a damped oscillator that every onset kicks: a kick sets it ringing
// downward, the backbeat sideways (sides alternating), a hat off the kick
// forward in depth, a bass note up and back, other percussion down and
// aside, and hits that coincide in the sum of their directions. Each ring
// swings and dies away within a time set by the hit's weight; a loop whose
// rings have all died before it closes holds still across the seam and
// starts at rest, at the origin.
#include <algorithm>
#include <cmath>

#include "beat_common.hpp"

namespace gen::beat {
namespace {

// Pips per swing: an accent rings slowly, a lighter hit in a quicker flick,
// a ghost in a quiver. Within its ring no swing passes exactly through rest
// on a pip where a hit of the scores could end a loop, so only a ring that
// has died leaves the spring at the origin.
constexpr double kSlowSwing = 23.5;
constexpr double kQuickSwing = 15.5;
constexpr double kQuiverSwing = 9.0;

// How long a hit keeps the spring ringing: an accent a beat, a normal hit a
// sixteenth, a ghost three quarters of one.
int ring_length(double weight) {
    if (weight >= kAccent) return 64;
    if (weight >= kNormal) return 16;
    return 12;
}

double ring(int t, double weight) {
    const double fade = 1.0 - static_cast<double>(t) / ring_length(weight);
    const double swing = weight >= kAccent ? kSlowSwing : weight >= kNormal ? kQuickSwing : kQuiverSwing;
    return weight * fade * fade * std::sin(kTwoPi * t / swing);
}

}  // namespace

bool spring_starts_at_rest(const Roles& roles, int period) {
    for (const Hit& h : roles.all) {
        if (h.pip + ring_length(h.weight) > period) return false;
    }
    return true;
}

Rows beat_spring(const BeatInput& in) {
    const Roles& r = in.roles;
    const auto size = static_cast<std::size_t>(in.period);
    Track x(size, 0.0), y(size, 0.0), z(size, 0.0);
    const std::vector<Hit> other =
        lane_hits(in.groove, {Sound::perc, Sound::tom, Sound::wood_metal, Sound::rim});
    std::size_t backbeats = 0;
    for (const Hit& hit : r.all) {
        // Each role sounding on this pip adds its own direction.
        Row push{};
        const auto add = [&push](Row d) { push = {push.x + d.x, push.y + d.y, push.z + d.z}; };
        if (has_pip(r.kick, hit.pip)) add({0.15, -0.7, 0.35});
        if (has_pip(r.backbeat, hit.pip)) add({backbeats++ % 2 == 0 ? 0.7 : -0.7, 0.2, 0.3});
        if (has_pip(r.hats, hit.pip) && !has_pip(r.kick, hit.pip)) add({0.45, 0.4, 0.7});
        if (has_pip(r.bass, hit.pip) && !has_pip(r.kick, hit.pip)) add({-0.55, 0.5, -0.35});
        if (has_pip(other, hit.pip) && !has_pip(r.backbeat, hit.pip)) add({0.45, -0.4, 0.45});
        // No axis swings further than one role alone would.
        const double largest = std::max({std::fabs(push.x), std::fabs(push.y), std::fabs(push.z)});
        const double scale = largest > 0.68 ? 0.68 / largest : 1.0;
        const int length = ring_length(hit.weight);
        add_rings(x, {hit}, length, [&](int t, const Hit& h) { return scale * push.x * ring(t, h.weight); });
        add_rings(y, {hit}, length, [&](int t, const Hit& h) { return scale * push.y * ring(t, h.weight); });
        add_rings(z, {hit}, length, [&](int t, const Hit& h) { return scale * push.z * ring(t, h.weight); });
    }
    soft_limit(x, 0.9);
    soft_limit(y, 0.9);
    soft_limit(z, 0.9);
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
