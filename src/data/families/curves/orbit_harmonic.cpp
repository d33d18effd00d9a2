// orbit_harmonic_: an ellipse whose horizontal and vertical lanes each carry a
// harmonic ripple of different order, so the orbit gains a few unequal bulges;
// the second eight members also turn the ripples against each other in phase.
#include <cmath>
#include <cstdio>
#include <string>

#include "families.hpp"

namespace gen {

void emit_orbit_harmonic(Table& table) {
    // Ripple depth of members 01 to 16.
    static constexpr double kDepth[] = {0.18, 0.22, 0.25, 0.28, 0.25, 0.2,  0.15, 0.13,
                                        0.34, 0.31, 0.29, 0.26, 0.23, 0.2,  0.17, 0.14};
    constexpr int kPeriod = 512;
    for (int k = 1; k <= 16; ++k) {
        const int j = k <= 8 ? k : k - 8;
        const double m = j + 1;
        const double phase = k <= 8 ? 0.0 : 0.5 + 0.3 * (j - 1);
        const double h = kDepth[k - 1];
        char name[32];
        std::snprintf(name, sizeof name, "orbit_harmonic_%02d", k);
        table.push_back({
            name,
            "An ellipse combined with unequal horizontal and vertical harmonic ripples.",
            kPeriod,
            2,
            sample_scaled_curve(kPeriod, kPeriod, 0.82,
                                [&](double t) {
                                    return Row{std::cos(t) + h * std::cos(m * t + phase),
                                               0.72 * std::sin(t) -
                                                   h * std::sin((m + 1) * t - phase),
                                               0.0};
                                }),
        });
    }
}

}  // namespace gen
