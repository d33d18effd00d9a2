// space_: genuine three-dimensional loops. The torus knots wind p times round
// the axis and q times through the tube; the space weaves drive x, y and z with
// three coprime cycle counts and distinct phase offsets.
#include <cmath>
#include <string>

#include "families.hpp"

namespace gen {

void emit_space(Table& table) {
    struct Cycles {
        int a;
        int b;
        int c;
    };
    static constexpr Cycles kTori[] = {{2, 5, 0}, {2, 7, 0}, {3, 4, 0}, {3, 5, 0},
                                       {3, 7, 0}, {4, 5, 0}, {4, 7, 0}, {5, 6, 0}};
    static constexpr Cycles kWeaves[] = {{1, 2, 3}, {1, 3, 4}, {2, 3, 4}, {2, 3, 7},
                                         {2, 5, 7}, {3, 4, 5}, {3, 5, 7}, {4, 5, 7}};
    constexpr int kPeriod = 1024;
    for (const Cycles& k : kTori) {
        const double p = k.a;
        const double q = k.b;
        table.push_back({
            "space_torus_" + std::to_string(k.a) + "_" + std::to_string(k.b),
            "A genuine XYZ closed torus-knot trajectory. The demo uses an oblique projection.",
            kPeriod,
            3,
            sample_scaled_curve(kPeriod, kPeriod, 0.82,
                                [&](double t) {
                                    const double ring = 0.58 + 0.2 * std::cos(q * t);
                                    return Row{ring * std::cos(p * t), ring * std::sin(p * t),
                                               0.42 * std::sin(q * t)};
                                }),
        });
    }
    for (const Cycles& k : kWeaves) {
        const double a = k.a;
        const double b = k.b;
        const double c = k.c;
        table.push_back({
            "space_weave_" + std::to_string(k.a) + "_" + std::to_string(k.b) + "_" +
                std::to_string(k.c),
            "Three coprime-frequency coordinate lanes with distinct phase offsets.",
            kPeriod,
            3,
            sample_scaled_curve(kPeriod, kPeriod, 0.82,
                                [&](double t) {
                                    return Row{std::sin(a * t), 0.8 * std::sin(b * t + 0.4),
                                               0.7 * std::cos(c * t + 0.7)};
                                }),
        });
    }
}

}  // namespace gen
