// poly_: a pulses of the left lane lift the point while b pulses of the right
// lane push it right, alternately forward and back in depth; both trains
// divide the same eight beats evenly and meet, accented together, only on the
// loop boundary.
#include <algorithm>
#include <string>

#include "families.hpp"
#include "strokes.hpp"

namespace gen {

void emit_poly(Table& table) {
    static constexpr struct {
        int left;
        int right;
    } kTrains[] = {{2, 5}, {2, 7}, {2, 9}, {3, 5}, {3, 7}, {3, 8}, {3, 10}, {4, 5},
                   {4, 7}, {4, 9}, {5, 6}, {5, 7}, {5, 8}, {5, 9}, {6, 7}, {7, 8}};
    constexpr int kPeriod = 512;
    // One train of n even pulses, each short enough to leave a rest before the
    // next; the first, on the shared boundary, is accented. With `alternate`
    // the pulses take turns in sign.
    auto train = [](int count, double boundary, double pulse, bool alternate) {
        const double gap = static_cast<double>(kPeriod) / count;
        const double rise = std::min(24.0, 0.3 * gap);
        const double fall = std::min(48.0, 0.45 * gap);
        strokes::Lane lane;
        for (int i = 0; i < count; ++i) {
            const double sign = alternate && i % 2 == 1 ? -1.0 : 1.0;
            lane.push_back({kPeriod * static_cast<double>(i) / count,
                            sign * (i == 0 ? boundary : pulse), rise, fall});
        }
        return lane;
    };
    for (const auto& t : kTrains) {
        const auto lift = strokes::render_lane(train(t.left, 0.78, 0.52, false), kPeriod);
        const auto push = strokes::render_lane(train(t.right, 0.86, 0.6, false), kPeriod);
        const auto depth = strokes::render_lane(train(t.right, 0.72, 0.5, true), kPeriod);
        table.push_back({
            "poly_" + std::to_string(t.left) + "_" + std::to_string(t.right),
            "Two independent pulse trains share an eight-beat boundary. Each right-lane gesture "
            "includes depth.",
            kPeriod,
            3,
            rows_from_lanes(kPeriod, push, lift, depth),
        });
    }
}

}  // namespace gen
