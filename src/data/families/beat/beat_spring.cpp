// spring: a damped oscillator that every onset kicks: a kick sets it ringing
// downward, the backbeat sideways (sides alternating), a hat off the kick
// forward in depth and the next one back, a bass note up and back and the
// next one the other way, other percussion down and aside and then up, and
// hits that coincide in the sum of their directions. Each ring swings and
// dies away within a time set by the hit's weight, an accent's in a few slow
// swings, a lighter hit's in one excursion out and back; a loop whose
// rings have all died before it closes holds still across the seam and
// starts at rest, at the origin.
#include <algorithm>
#include <array>
#include <cmath>

#include "beat_shaping.hpp"

namespace gen::beat {
namespace {

// Pips per swing: an accent rings in slow swings, a lighter hit makes one
// excursion out and back within its ring, slow enough that a score of
// sixteenths turns the spring back no more often than a moving head follows.
// Within its ring no swing passes exactly through rest on a pip where a hit
// of the scores could end a loop, so only a ring that has died leaves the
// spring at the origin.
constexpr double kSlowSwing = 42.5;
constexpr double kQuickSwing = 32.0;
constexpr double kQuiverSwing = 24.0;

// How long a hit keeps the spring ringing: an accent a beat, a normal hit a
// sixteenth, a ghost three quarters of one.
int ring_length(double weight) {
    if (weight >= kAccent) return 64;
    if (weight >= kNormal) return 16;
    return 12;
}

// An accent's swings die away steeply, so that the spring has all but come
// to rest before the next beat; a ghost note stirs it only a little.
double ring(int t, double weight) {
    const double fade = 1.0 - static_cast<double>(t) / ring_length(weight);
    if (weight >= kAccent) return 1.3 * std::pow(fade, 6.0) * std::sin(kTwoPi * t / kSlowSwing);
    if (weight >= kNormal) return weight * fade * fade * std::sin(kTwoPi * t / kQuickSwing);
    return weight * weight * fade * fade * std::sin(kTwoPi * t / kQuiverSwing);
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
    // Each kind of hit counts its own turns: successive backbeats swing to
    // alternate sides, and successive hats, bass notes and other strokes push
    // the spring alternately one way and back, so that a run of them sways
    // rather than shudders. The counts run through the loop, except that a
    // bar that repeats the bar before it counts as that bar did, so that it
    // moves exactly alike.
    std::array<std::size_t, 4> count{}, at_bar_start{};
    auto& [backbeats, hats, notes, strokes] = count;
    const auto scaled = [](Row d, double by) { return Row{by * d.x, by * d.y, by * d.z}; };
    std::vector<bool> ringing(size, false);
    int bar = -1;
    for (const Hit& hit : r.all) {
        while (bar < hit.pip / 256) {
            ++bar;
            if (repeats_previous_bar(in.groove, bar)) {
                count = at_bar_start;
            } else {
                at_bar_start = count;
            }
        }
        // Each role sounding on this pip adds its own direction.
        Row push{};
        const auto add = [&push](Row d) { push = {push.x + d.x, push.y + d.y, push.z + d.z}; };
        if (has_pip(r.kick, hit.pip)) add({0.15, -0.7, 0.35});
        if (has_pip(r.backbeat, hit.pip)) add({backbeats++ % 2 == 0 ? 0.7 : -0.7, 0.2, 0.3});
        if (has_pip(r.hats, hit.pip) && !has_pip(r.kick, hit.pip)) {
            add(scaled({0.45, 0.4, 0.7}, hats++ % 2 == 0 ? 1.0 : -1.0));
        }
        if (has_pip(r.bass, hit.pip) && !has_pip(r.kick, hit.pip)) {
            add(scaled({-0.55, 0.5, -0.35}, notes++ % 2 == 0 ? 1.0 : -1.0));
        }
        if (has_pip(other, hit.pip) && !has_pip(r.backbeat, hit.pip)) {
            add(scaled({0.45, -0.4, 0.45}, strokes++ % 2 == 0 ? 1.0 : -1.0));
        }
        // No axis swings further than one role alone would.
        const double largest = std::max({std::fabs(push.x), std::fabs(push.y), std::fabs(push.z)});
        const double scale = largest > 0.68 ? 0.68 / largest : 1.0;
        const int length = ring_length(hit.weight);
        for (int t = 1; t < length; ++t) ringing[static_cast<std::size_t>((hit.pip + t) % in.period)] = true;
        add_rings(x, {hit}, length, [&](int t, const Hit& h) { return scale * push.x * ring(t, h.weight); });
        add_rings(y, {hit}, length, [&](int t, const Hit& h) { return scale * push.y * ring(t, h.weight); });
        add_rings(z, {hit}, length, [&](int t, const Hit& h) { return scale * push.z * ring(t, h.weight); });
    }
    // Where the rings crowd so close that the spring would shudder, it is
    // calmed; where no ring lives it stays exactly at rest.
    // Where the rings crowd so close that the spring would shudder, it is
    // calmed by an average over each stretch in which rings live (never
    // across a pip of rest); where no ring lives it stays exactly at rest.
    const int period = in.period;
    const auto calmed = [&](const Track& lane, int reach) {
        Track out(size, 0.0);
        for (int p = 0; p < period; ++p) {
            if (!ringing[static_cast<std::size_t>(p)]) continue;
            double sum = 0.0, total = 0.0;
            for (int side : {-1, 1}) {
                for (int d = side < 0 ? 0 : 1; d <= reach; ++d) {
                    const auto q = static_cast<std::size_t>(((p + side * d) % period + period) % period);
                    if (!ringing[q]) break;
                    sum += (reach + 1 - d) * lane[q];
                    total += reach + 1 - d;
                }
            }
            out[static_cast<std::size_t>(p)] = sum / total;
        }
        return out;
    };
    for (Track* lane : {&x, &y, &z}) {
        Track calm = *lane;
        for (int reach = 1; most_reversals_a_beat(calm) > 8 && reach <= 16; ++reach) {
            calm = calmed(*lane, reach);
        }
        *lane = calm;
        soft_limit(*lane, 0.9);
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
