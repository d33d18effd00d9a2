// dwell_phrase_: a sixteen-beat phrase of held positions. From rest the point
// lifts and holds, dips, lifts again to a different height and holds for a
// different time, transfers across in an arc, and returns home with a small
// overshoot that settles before the rest.
#include <cmath>
#include <string>

#include "families.hpp"
#include "paths_common.hpp"

namespace gen {
namespace {

constexpr double kBeat = kPipsPerBeat;

struct Phrase {
    double first_lift, second_lift;  // heights of the two lifts above home
    double first_hold, second_hold;  // in beats
    double side;                     // +1: lifts on the left, transfer to the right
    double depth;                    // +1: lifts come forward, -1: they lean back
};

Rows dwell_phrase(const Phrase& ph, int period) {
    const Row home = {-0.15 * ph.side, -0.5, 0.1 * ph.depth};
    const Row lift1 = {-0.45 * ph.side, home.y + ph.first_lift, home.z + 0.45 * ph.depth};
    const Row dip = {-0.25 * ph.side, home.y + 0.25, home.z + 0.1 * ph.depth};
    const Row lift2 = {-0.05 * ph.side, home.y + ph.second_lift, home.z - 0.35 * ph.depth};
    // Leaning back, the transfer also travels higher.
    const Row across = {0.62 * ph.side, ph.depth > 0 ? -0.05 : 0.22, home.z - 0.3 * ph.depth};
    const Row overshoot = {-0.24 * ph.side, home.y - 0.07, home.z + 0.06 * ph.depth};
    // The moves take nine and a half beats; the holds and the rest share the
    // remaining six and a half.
    const double rest = 6.5 - ph.first_hold - ph.second_hold;
    const std::vector<paths::Segment> segments = {
        paths::move(1.5 * kBeat, home, lift1, {0.0, 0.0, 0.15 * ph.depth}),
        paths::hold(ph.first_hold * kBeat, lift1),
        paths::move(1.0 * kBeat, lift1, dip),
        paths::move(1.5 * kBeat, dip, lift2, {0.0, 0.05, 0.1 * ph.depth}),
        paths::hold(ph.second_hold * kBeat, lift2),
        // The transfer swings out in depth on its way across.
        paths::move(2.5 * kBeat, lift2, across, {0.0, 0.12, 0.5 * ph.depth}),
        paths::move(2.0 * kBeat, across, overshoot, {0.0, -0.18, 0.0}),
        paths::move(1.0 * kBeat, overshoot, home),
        paths::hold(rest * kBeat, home),
    };
    // Pip 0 falls on a beat inside the rest, so every move and hold starts on a
    // beat or half beat.
    return paths::play_segments(segments, period, period - std::floor(0.5 * rest) * kBeat);
}

}  // namespace

void emit_dwell_phrase(Table& table) {
    // Which lift is the taller one, how long each hold lasts, which side the
    // lifts happen on and whether they come forward or lean back all change
    // from member to member.
    static constexpr double kHolds[4][2] = {{1.0, 2.0}, {2.0, 1.0}, {1.5, 2.5}, {3.0, 1.5}};
    static constexpr double kLifts[4][2] = {{1.3, 0.85}, {0.75, 1.35}, {1.2, 0.6}, {0.9, 1.25}};
    constexpr int kPeriod = 1024;
    for (int i = 0; i < 16; ++i) {
        const Phrase ph = {kLifts[i % 4][0],
                           kLifts[i % 4][1],
                           kHolds[(i / 4 + i) % 4][0],
                           kHolds[(i / 4 + i) % 4][1],
                           (i / 4) % 2 == 0 ? 1.0 : -1.0,
                           i < 8 ? 1.0 : -1.0};
        table.push_back({
            "dwell_phrase_" + paths::two_digits(i + 1),
            "Two unequal lift-and-hold gestures, a transfer and a settling return; holds have "
            "finite musical duration.",
            kPeriod,
            3,
            dwell_phrase(ph, kPeriod),
        });
    }
}

}  // namespace gen
