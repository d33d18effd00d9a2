// euclid_: k strikes spread as evenly as possible over n eighth notes. Each
// strike swings out to one side and down, sides alternating; longer notes dip
// deeper, and the first strike of the phrase swings widest and dips a notch
// further than its length alone would.
#include <string>

#include "families.hpp"
#include "strokes.hpp"

namespace gen {

void emit_euclid(Table& table) {
    static constexpr struct {
        int onsets;
        int steps;
    } kRhythms[] = {{2, 5},  {3, 7},  {3, 10}, {4, 9},  {4, 11}, {5, 9},  {5, 11}, {5, 13},
                    {5, 14}, {6, 13}, {7, 12}, {7, 15}, {7, 17}, {8, 19}, {9, 20}, {11, 24}};
    constexpr double kPhraseAccent = 1.0;
    constexpr double kAccent = 0.62;
    constexpr double kDipPerStep = 0.12;
    constexpr double kPhraseDip = 0.12;
    for (const auto& r : kRhythms) {
        const int period = kPipsPerEighth * r.steps;
        const std::vector<bool> grid = euclidean_steps(r.onsets, r.steps);
        strokes::Lane lateral;
        strokes::Lane vertical;
        double side = 1.0;
        for (int step = 0; step < r.steps; ++step) {
            if (!grid[static_cast<std::size_t>(step)]) continue;
            int length = 1;  // steps until the next onset, around the loop
            while (!grid[static_cast<std::size_t>((step + length) % r.steps)]) ++length;
            const double pip = kPipsPerEighth * step;
            const bool phrase = step == 0;
            // A quick swing out, a longer release; the dip is tighter than the
            // swing, so each strike draws a hook rather than a straight line.
            lateral.push_back({pip, side * (phrase ? kPhraseAccent : kAccent), 24.0, 48.0});
            vertical.push_back(
                {pip, -(kDipPerStep * length + (phrase ? kPhraseDip : 0.0)), 14.0, 26.0});
            side = -side;
        }
        const std::string k = std::to_string(r.onsets);
        const std::string n = std::to_string(r.steps);
        table.push_back({
            "euclid_" + k + "_" + n,
            "Evenly distributed accents with alternating sides; first onset is the phrase accent.",
            period,
            2,
            rows_from_lanes(period, strokes::render_lane(lateral, period),
                             strokes::render_lane(vertical, period)),
        });
    }
}

}  // namespace gen
