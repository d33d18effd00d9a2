// spiro_: the trace of a pen fixed inside a circle of radius r that rolls
// inside or outside a fixed circle of radius R, run for as many turns as the
// curve needs to close.
#include <cmath>
#include <numeric>
#include <string>

#include "families.hpp"

namespace gen {

void emit_spiro(Table& table) {
    static constexpr struct {
        int fixed;    // R
        int rolling;  // r
        double pen;   // distance of the pen from the rolling circle's centre
    } kCircles[] = {{3, 1, 0.45}, {4, 1, 0.6}, {5, 2, 1.5}, {5, 1, 0.55},
                    {7, 2, 1.3},  {7, 3, 2.1}, {8, 3, 1.8}, {9, 4, 3.2}};
    constexpr int kPeriod = 1024;
    for (const bool inside : {true, false}) {
        const std::string side = inside ? "inside" : "outside";
        for (const auto& c : kCircles) {
            const double big = c.fixed;
            const double small = c.rolling;
            const double d = c.pen;
            // Full turns of the rolling circle's centre before the pen returns.
            const double turns = c.rolling / std::gcd(c.fixed, c.rolling);
            table.push_back({
                "spiro_" + side + "_" + std::to_string(c.fixed) + "_" + std::to_string(c.rolling),
                "A closed " + side +
                    "-rolling circle trace, with pen radius smaller than the rolling radius.",
                kPeriod,
                2,
                sample_scaled_curve(kPeriod, kPeriod, 0.82,
                                    [&](double t) {
                                        const double u = turns * t;
                                        if (inside) {
                                            const double arm = big - small;
                                            const double spin = (arm / small) * u;
                                            return Row{arm * std::cos(u) + d * std::cos(spin),
                                                       arm * std::sin(u) - d * std::sin(spin),
                                                       0.0};
                                        }
                                        const double arm = big + small;
                                        const double spin = (arm / small) * u;
                                        return Row{arm * std::cos(u) - d * std::cos(spin),
                                                   arm * std::sin(u) - d * std::sin(spin), 0.0};
                                    }),
            });
        }
    }
}

}  // namespace gen
