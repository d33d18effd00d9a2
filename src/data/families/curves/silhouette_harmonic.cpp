// silhouette_harmonic_: a closed outline built from three unequal harmonics of
// different orders, with the vertical lane phase-shifted against the
// horizontal one, and a shallow depth term that breathes once per loop.
#include <cmath>
#include <cstdio>

#include "families.hpp"

namespace gen {

void emit_silhouette_harmonic(Table& table) {
    static constexpr struct {
        int f1;
        int f2;
        int f3;
        double a2;
        double a3;
    } kMembers[] = {
        {1, 2, 3, 0.2, 0.16},   {1, 3, 5, 0.35, 0.12}, {2, 3, 4, 0.3, 0.18},
        {2, 5, 7, 0.23, 0.16},  {1, 4, 7, 0.35, 0.21}, {3, 4, 5, 0.28, 0.14},
        {2, 7, 9, 0.19, 0.12},  {3, 5, 8, 0.3, 0.17},  {1, 2, 5, 0.4, 0.22},
        {1, 5, 8, 0.27, 0.24},  {2, 3, 7, 0.34, 0.2},  {3, 7, 10, 0.26, 0.16},
        {2, 4, 9, 0.33, 0.23},  {3, 4, 9, 0.29, 0.25}, {4, 5, 7, 0.25, 0.21},
        {4, 7, 11, 0.21, 0.16},
    };
    constexpr int kPeriod = 1024;
    // The outline is scaled on twice the stored sampling, so its peak between
    // two stored pips counts too.
    constexpr int kScalePoints = 2048;
    int number = 0;
    for (const auto& m : kMembers) {
        char name[32];
        std::snprintf(name, sizeof name, "silhouette_harmonic_%02d", ++number);
        const double f1 = m.f1;
        const double f2 = m.f2;
        const double f3 = m.f3;
        table.push_back({
            name,
            "Three unequal harmonic components, with cross-axis phases and a small linked depth "
            "term.",
            kPeriod,
            3,
            sample_scaled_curve(
                kPeriod, kScalePoints, 0.82,
                [&](double t) {
                    return Row{
                        std::cos(f1 * t) + m.a2 * std::sin(f2 * t + 0.3) + m.a3 * std::cos(f3 * t),
                        0.65 * std::sin(f1 * t + 0.2) + m.a3 * std::sin(f2 * t) -
                            m.a2 * std::cos(f3 * t + 0.1),
                        0.12 * std::sin((f1 + f2) * t) * std::sin(t)};
                }),
        });
    }
}

}  // namespace gen
