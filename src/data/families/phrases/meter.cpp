// meter_: bars of uneven eighth-note groups. Each group start leans to the
// opposite side of the last one, sinks and pushes into depth; on the remaining
// eighths of the group the lean relaxes towards the centre in quieter steps,
// each with a small upward bob.
#include <string>
#include <vector>

#include "families.hpp"
#include "phrases_common.hpp"

namespace gen {

void emit_meter(Table& table) {
    static const std::vector<std::vector<int>> kGroupings = {
        {2, 3},       {3, 2},       {3, 2, 2},    {2, 3, 2},       {3, 4},       {4, 3},
        {2, 2, 2, 3}, {2, 3, 2, 2}, {3, 2, 3, 2}, {3, 3, 2, 3},    {2, 2, 3, 2, 3}, {3, 3, 3, 2},
        {4, 3, 3},    {3, 4, 4},    {2, 3, 3, 2, 3}, {3, 3, 3, 4},
    };
    constexpr double kStartLean = 0.85;   // x at a group start
    constexpr double kStartSink = -0.5;   // y at a group start
    constexpr double kEighthBob = 0.3;    // y on the other eighths
    constexpr double kBarPush = 0.9;      // z at the first group start of the bar
    constexpr double kGroupPush = 0.55;   // z at the other group starts
    for (const auto& groups : kGroupings) {
        std::string name = "meter";
        int eighths = 0;
        for (const int g : groups) {
            name += '_';
            name += std::to_string(g);
            eighths += g;
        }
        const int period = kPipsPerEighth * eighths;
        std::vector<Onset> lean, bob, push;
        int eighth = 0;
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const double side = i % 2 == 0 ? 1.0 : -1.0;
            const double start = kPipsPerEighth * eighth;
            lean.push_back({start, side, kStartLean});
            bob.push_back({start, 1.0, kStartSink});
            push.push_back({start, 1.0, i == 0 ? kBarPush : kGroupPush});
            for (int k = 1; k < groups[i]; ++k) {
                const double pip = kPipsPerEighth * (eighth + k);
                const double relaxed = 1.0 - static_cast<double>(k) / groups[i];
                lean.push_back({pip, side, kStartLean * relaxed});
                bob.push_back({pip, 1.0, kEighthBob});
            }
            eighth += groups[i];
        }
        table.push_back({
            name,
            "Group starts lean alternately left and right; quieter subdivisions mark the "
            "eighth-note grid.",
            period,
            3,
            rows_from_lanes(period, phrases::spaced_lane(lean, period, 0.75, 24.0, name),
                             phrases::spaced_lane(bob, period, 0.75, 24.0, name),
                             phrases::spaced_lane(push, period, 0.6, 40.0, name)),
        });
    }
}

}  // namespace gen
