// braid_: a point winding round a tube: the tube's centreline is an ellipse,
// set off the origin and tipped in depth, travelled `a` times; the point rolls
// round the tube's cross-section `b` times, with a second, faster ripple in
// depth on top.
#include <cmath>
#include <string>

#include "families.hpp"

namespace gen {

void emit_braid(Table& table) {
    static constexpr struct {
        int centreline;
        int roll;
    } kPairs[] = {{1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 3}, {2, 5}, {3, 4}, {3, 5},
                  {1, 6}, {2, 7}, {3, 7}, {4, 5}, {4, 7}, {5, 6}, {5, 7}, {5, 8}};
    constexpr int kPeriod = 1024;
    for (const auto& c : kPairs) {
        table.push_back({
            "braid_" + std::to_string(c.centreline) + "_" + std::to_string(c.roll),
            "An offset tube centreline and a rolling cross-section with a second depth ripple.",
            kPeriod,
            3,
            sample_scaled_curve(kPeriod, kPeriod, 0.82,
                                [&](double t) {
                                    const double around = c.centreline * t + 0.2;
                                    const double roll = c.roll * t + 0.9;
                                    constexpr double kTube = 0.28;
                                    // Out from the centreline in the plane, and up in depth.
                                    const double out = kTube * std::cos(roll);
                                    const double up = kTube * std::sin(roll);
                                    const double ripple =
                                        0.3 * kTube * std::sin((2 * c.roll + 1) * t + 0.5);
                                    return Row{0.08 + (0.64 + out) * std::cos(around),
                                               -0.06 + (0.5 + out) * std::sin(around),
                                               0.05 + 0.16 * std::sin(around + 0.6) + up + ripple};
                                }),
        });
    }
}

}  // namespace gen
