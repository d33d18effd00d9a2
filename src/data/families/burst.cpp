// burst_: three bursts of fading pushes, to the right, upwards and forwards,
// each a beat and a half long and cut into a different number of gestures,
// with a beat of stillness after each; late in the phrase one wide accent sinks
// down and back and lets the point settle before the loop begins again.
#include <string>
#include <vector>

#include "../families.hpp"
#include "bursts_common.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 512;
constexpr int kBurstStarts[] = {0, 160, 320};  // one burst per axis: x, y, z
constexpr int kBurstPips = 96;
constexpr double kSettlePip = 464.0;  // a sixteenth after the last beat
// The settling accent: a little right, down and back.
constexpr double kSettle[] = {0.35, -0.7, -0.4};

Rows burst(const int (&counts)[3]) {
    std::vector<Onset> lanes[3];
    for (int axis = 0; axis < 3; ++axis) {
        const int count = counts[axis];
        for (int i = 0; i < count; ++i) {
            // Gestures evenly cut from the burst, on whole pips, fading out.
            const int offset = (2 * kBurstPips * i + count) / (2 * count);
            const double fade = static_cast<double>(i) / static_cast<double>(count - 1);
            lanes[axis].push_back(
                {static_cast<double>(kBurstStarts[axis] + offset), 1.0, 0.95 - 0.45 * fade});
        }
        lanes[axis].push_back({kSettlePip, 1.0, kSettle[axis]});
    }
    const auto render = [&](int axis) {
        return bursts::render_spaced_lane(lanes[axis], 0.7, 40.0, kPeriod);
    };
    return bursts::join_lanes(render(0), render(1), render(2));
}

}  // namespace

void emit_burst(Table& table) {
    static constexpr int kCounts[][3] = {{3, 5, 2}, {4, 3, 6}, {5, 2, 4}, {2, 7, 3},
                                         {3, 4, 5}, {5, 3, 7}, {6, 2, 5}, {4, 7, 2},
                                         {7, 3, 4}, {2, 5, 6}, {5, 7, 3}, {3, 6, 4},
                                         {4, 5, 7}, {6, 3, 5}, {7, 4, 3}, {5, 6, 2}};
    for (const auto& c : kCounts) {
        table.push_back({
            "burst_" + std::to_string(c[0]) + "_" + std::to_string(c[1]) + "_" +
                std::to_string(c[2]),
            "Three unevenly subdivided directional bursts, deliberate gaps and a late settling "
            "accent.",
            kPeriod,
            3,
            burst(c),
        });
    }
}

}  // namespace gen
