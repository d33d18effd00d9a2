// spring: a damped oscillator that every onset kicks: a kick sets it ringing
// downward, the backbeat sideways (sides alternating), any other hit forward
// in depth. Each ring swings a few times and dies away within a time set by
// the hit's weight; a loop whose rings have all died before it closes holds
// still across the seam and starts at rest, at the origin.
#include <cmath>

#include "beat_common.hpp"

namespace gen::beat {
namespace {

constexpr double kSwing = 22.0;  // pips per swing of the spring

// How long a hit keeps the spring ringing: an accent a beat, a normal hit a
// sixteenth, a ghost three quarters of one.
int ring_length(double weight) {
    if (weight >= kAccent) return 64;
    if (weight >= kNormal) return 16;
    return 12;
}

double ring(int t, double weight) {
    const double fade = 1.0 - static_cast<double>(t) / ring_length(weight);
    return weight * fade * fade * std::sin(kTwoPi * t / kSwing);
}

bool has_pip(const std::vector<Hit>& hits, int pip) {
    for (const Hit& h : hits) {
        if (h.pip == pip) return true;
    }
    return false;
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
    std::size_t backbeats = 0;
    for (const Hit& hit : r.all) {
        Row push{0.2, 0.25, 0.85};
        if (has_pip(r.backbeat, hit.pip)) {
            push = {backbeats++ % 2 == 0 ? 0.8 : -0.8, 0.2, 0.3};
        } else if (has_pip(r.kick, hit.pip)) {
            push = {0.15, -0.8, 0.35};
        }
        add_rings(x, {hit}, ring_length(hit.weight), [&](int t, const Hit& h) { return push.x * ring(t, h.weight); });
        add_rings(y, {hit}, ring_length(hit.weight), [&](int t, const Hit& h) { return push.y * ring(t, h.weight); });
        add_rings(z, {hit}, ring_length(hit.weight), [&](int t, const Hit& h) { return push.z * ring(t, h.weight); });
    }
    soft_limit(x, 0.9);
    soft_limit(y, 0.9);
    soft_limit(z, 0.9);
    for (auto* t : {&x, &y, &z}) for (double& v : *t) v *= 0.5;  // LOCAL ONLY
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
