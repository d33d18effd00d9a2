// rudiment_: sticking studies as hand motion. Right-hand strokes lean right,
// left-hand strokes lean left, and every stroke dips to its hit; accents lean
// and dip furthest, the second stroke of a double least.
#include <string_view>
#include <vector>

#include "families.hpp"
#include "strokes.hpp"

namespace gen {
namespace {

using strokes::Lane;

constexpr double kRightAccent = 1.0;
constexpr double kLeftAccent = 0.92;
constexpr double kTap = 0.52;
constexpr double kDiddle = 0.4;
constexpr double kAccentDip = 0.6;
constexpr double kTapDip = 0.28;
constexpr double kDiddleDip = 0.2;

double hand_of(char c) { return c == 'R' ? 1.0 : -1.0; }

double accent_for(char hand) { return hand == 'R' ? kRightAccent : kLeftAccent; }

// Twelve strokes in equal triplet eighths over four beats; `accents` marks
// the accented strokes with 'A'. A stroke that repeats the previous hand is
// the second stroke of a double and played softer.
Rows sticking_study(std::string_view sticking, std::string_view accents, int period) {
    const double spacing = static_cast<double>(period) / static_cast<double>(sticking.size());
    Lane lateral;
    Lane vertical;
    for (std::size_t i = 0; i < sticking.size(); ++i) {
        const char hand = sticking[i];
        const char previous = sticking[(i + sticking.size() - 1) % sticking.size()];
        const double pip = spacing * static_cast<double>(i);
        double lean = kTap;
        double dip = kTapDip;
        if (accents[i] == 'A') {
            lean = accent_for(hand);
            dip = kAccentDip;
        } else if (hand == previous) {
            lean = kDiddle;
            dip = kDiddleDip;
        }
        lateral.push_back({pip, hand_of(hand) * lean, spacing, spacing});
        vertical.push_back({pip, -dip, 0.6 * spacing, 0.6 * spacing});
    }
    return rows_from_lanes(period, strokes::render_lane(lateral, period),
                            strokes::render_lane(vertical, period));
}

}  // namespace

Rows rudiment_double_paradiddle(int period) {
    return sticking_study("RLRLRRLRLRLL", "A.....A.....", period);
}

Rows rudiment_paradiddle_diddle(int period) {
    return sticking_study("RLRRLLLRLLRR", "A.....A.....", period);
}

// The six-stroke roll opens and closes each half on an accent.
Rows rudiment_six_stroke(int period) {
    return sticking_study("RLLRRLLRRLLR", "A....AA....A", period);
}

// Four triplet groups, one per beat, sticking R L R then L R L; each group's
// accented lead is preceded by a grace stroke of the other hand, set well
// ahead of it (nine pips) so that the flam is visible as its own gesture.
Rows rudiment_flam_accent(int period) {
    constexpr double kGraceLead = 9.0;
    constexpr double kGrace = 0.34;
    constexpr double kGraceDip = 0.14;
    const double spacing = period / 12.0;
    Lane lateral;
    Lane vertical;
    for (int beat = 0; beat < 4; ++beat) {
        const double lead = beat % 2 == 0 ? 1.0 : -1.0;
        const double start = static_cast<double>(kPipsPerBeat * beat);
        lateral.push_back({start - kGraceLead, -lead * kGrace, spacing, spacing});
        vertical.push_back({start - kGraceLead, -kGraceDip, 0.6 * kGraceLead, 0.6 * kGraceLead});
        lateral.push_back({start, lead * accent_for(lead > 0 ? 'R' : 'L'), spacing, spacing});
        vertical.push_back({start, -kAccentDip, 0.6 * spacing, 0.6 * spacing});
        for (int i = 1; i < 3; ++i) {
            const double hand = i % 2 == 0 ? lead : -lead;
            lateral.push_back({start + spacing * i, hand * kTap, spacing, spacing});
            vertical.push_back({start + spacing * i, -kTapDip, 0.6 * spacing, 0.6 * spacing});
        }
    }
    return rows_from_lanes(period, strokes::render_lane(lateral, period),
                            strokes::render_lane(vertical, period));
}

}  // namespace gen
