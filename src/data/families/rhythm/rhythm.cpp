// rhythm_: authored rhythm studies. Each is a small score of onsets (pip, side,
// accent) on lateral, vertical and depth lanes; every onset becomes a gesture
// that peaks on its own pip, so the motion can be read back as the score.
#include <vector>

#include "families.hpp"
#include "strokes.hpp"

namespace gen {
namespace {

using strokes::Lane;
using strokes::render_lane;

// A Euclidean rhythm of `onsets` on `steps` even steps, played `repeats`
// times in the loop. Lateral gestures alternate sides from onset to onset,
// carrying on across repeats (an odd count starts the next repeat on the
// other side); each onset also lifts, and the empty steps tick quietly down
// so the grid stays visible.
Rows euclid_study(int onsets, int steps, int repeats, int period) {
    const std::vector<bool> grid = euclidean_steps(onsets, steps);
    const double step_pips = static_cast<double>(period) / (steps * repeats);
    Lane lateral;
    Lane vertical;
    double side = 1.0;
    for (int r = 0; r < repeats; ++r) {
        for (int s = 0; s < steps; ++s) {
            const double pip = step_pips * (r * steps + s);
            if (!grid[static_cast<std::size_t>(s)]) {
                vertical.push_back({pip, -0.12, 0.4 * step_pips, 0.4 * step_pips});
                continue;
            }
            const bool lead = s == 0;
            const double accent = lead ? 0.9 : 0.66;
            lateral.push_back({pip, side * accent, 0.9 * step_pips, 1.8 * step_pips});
            vertical.push_back({pip, lead ? 0.42 : 0.28, 0.7 * step_pips, 1.2 * step_pips});
            side = -side;
        }
    }
    return rows_from_lanes(period, render_lane(lateral, period), render_lane(vertical, period));
}

// n lateral hits against four vertical hits in every bar of four beats, over
// two bars. With n odd the lateral sides need both bars to come round.
Rows cross_rhythm(int lateral_hits, int period) {
    constexpr int kBars = 2;
    constexpr double kBar = 4.0 * kPipsPerBeat;
    const double spacing = kBar / lateral_hits;
    Lane lateral;
    Lane vertical;
    for (int i = 0; i < kBars * lateral_hits; ++i) {
        const double side = i % 2 == 0 ? 1.0 : -1.0;
        const bool downbeat = i % lateral_hits == 0;
        lateral.push_back({spacing * i, side * (downbeat ? 0.9 : 0.62), 0.45 * spacing,
                           0.7 * spacing});
    }
    for (int beat = 0; beat < kBars * 4; ++beat) {
        const double side = beat % 2 == 0 ? 1.0 : -1.0;
        vertical.push_back({static_cast<double>(kPipsPerBeat * beat),
                            side * (beat % 4 == 0 ? 0.75 : 0.5), 24.0, 40.0});
    }
    return rows_from_lanes(period, render_lane(lateral, period), render_lane(vertical, period));
}

// Eighth-note groups: each group start strikes to a side (sides alternate and
// each bar's first group is the strongest) with a short lead-in and a longer
// release, and dips; the other eighths of a group lift lightly. Every eighth
// is a sixteenth-wide gesture.
Rows eighth_groups(const std::vector<int>& bar, int bars, double bar_accent, double accent,
                   int period) {
    Lane lateral;
    Lane vertical;
    double side = 1.0;
    int eighth = 0;
    for (int b = 0; b < bars; ++b) {
        for (std::size_t g = 0; g < bar.size(); ++g) {
            for (int i = 0; i < bar[g]; ++i, ++eighth) {
                const double pip = static_cast<double>(kPipsPerEighth * eighth);
                if (i == 0) {
                    lateral.push_back({pip, side * (g == 0 ? bar_accent : accent), 16.0, 48.0});
                    vertical.push_back({pip, -0.4, 16.0, 16.0});
                    side = -side;
                } else {
                    vertical.push_back({pip, 0.18, 16.0, 16.0});
                }
            }
        }
    }
    return rows_from_lanes(period, render_lane(lateral, period), render_lane(vertical, period));
}

}  // namespace

Rows rhythm_euclid_3_8(int period) { return euclid_study(3, 8, 1, period); }

Rows rhythm_euclid_5_12(int period) { return euclid_study(5, 12, 1, period); }

// Three horizontal gestures (right, left, right, softening) against two
// vertical ones (up, down); they share the downbeat and interlock after it.
Rows rhythm_three_two(int period) {
    const double third = period / 3.0;
    const double half = period / 2.0;
    const Lane lateral = {{0.0, 0.9, 24.0, 56.0}, {third, -0.7, 24.0, 56.0},
                          {2.0 * third, 0.6, 24.0, 56.0}};
    const Lane vertical = {{0.0, 0.8, 24.0, 72.0}, {half, -0.7, 24.0, 72.0}};
    return rows_from_lanes(period, render_lane(lateral, period), render_lane(vertical, period));
}

// A deep drop on the downbeat, a snare-like crack to the right and up on beat
// three, and small sideways shuffles on the swung offbeats (two thirds of each
// beat) with a slight lift.
Rows rhythm_half_time(int period) {
    const double beat = kPipsPerBeat;
    const double swung = 2.0 * beat / 3.0;
    Lane lateral = {{2.0 * beat, 0.85, 14.0, 40.0}};
    Lane vertical = {{0.0, -0.92, 12.0, 48.0}, {2.0 * beat, 0.55, 14.0, 36.0}};
    for (int k = 0; k < 4; ++k) {
        lateral.push_back({beat * k + swung, k % 2 == 0 ? -0.32 : 0.28, 10.0, 16.0});
        vertical.push_back({beat * k + swung, 0.16, 10.0, 14.0});
    }
    return rows_from_lanes(period, render_lane(lateral, period), render_lane(vertical, period));
}

Rows rhythm_five_four(int period) { return cross_rhythm(5, period); }

Rows rhythm_seven_four(int period) { return cross_rhythm(7, period); }

Rows rhythm_euclid_7_16(int period) { return euclid_study(7, 16, 2, period); }

Rows rhythm_euclid_5_16(int period) { return euclid_study(5, 16, 2, period); }

// Beats one and two call on the right, beats three and four answer on the
// left; every beat is a long-short pair swung two to one, the long note
// lifting and the short one dipping.
Rows rhythm_swung_answer(int period) {
    const double beat = kPipsPerBeat;
    const double swung = 2.0 * beat / 3.0;
    struct Note {
        double pip, lateral, vertical;
    };
    const Note notes[] = {
        {0.0, 0.95, 0.4},          {swung, 0.55, -0.22},
        {beat, 0.8, 0.34},         {beat + swung, 0.5, -0.2},
        {2 * beat, -0.85, 0.36},   {2 * beat + swung, -0.5, -0.2},
        {3 * beat, -0.7, 0.3},     {3 * beat + swung, -0.45, -0.18},
    };
    Lane lateral;
    Lane vertical;
    for (const Note& n : notes) {
        lateral.push_back({n.pip, n.lateral, 18.0, 36.0});
        vertical.push_back({n.pip, n.vertical, 14.0, 28.0});
    }
    return rows_from_lanes(period, render_lane(lateral, period), render_lane(vertical, period));
}

Rows rhythm_group_332(int period) { return eighth_groups({3, 3, 2}, 2, 0.86, 0.62, period); }

Rows rhythm_group_223(int period) { return eighth_groups({2, 2, 3}, 2, 0.74, 0.56, period); }

// Three X, four Y and five Z gestures, each lane dividing the eight beats
// evenly (peaks at 512/3, 512/5 ... pips, not rounded to the grid) and
// alternating direction; all three meet on the downbeat.
Rows rhythm_three_four_five(int period) {
    auto even_lane = [period](int count, const std::vector<double>& accents) {
        const double gap = static_cast<double>(period) / count;
        Lane lane;
        for (int i = 0; i < count; ++i) {
            const double side = i % 2 == 0 ? 1.0 : -1.0;
            lane.push_back({gap * i, side * accents[static_cast<std::size_t>(i)], 0.4 * gap,
                            0.6 * gap});
        }
        return render_lane(lane, period);
    };
    return rows_from_lanes(period, even_lane(3, {0.9, 0.7, 0.6}), even_lane(4, {0.8, 0.6, 0.7, 0.6}),
                   even_lane(5, {0.75, 0.55, 0.6, 0.55, 0.6}));
}

}  // namespace gen
