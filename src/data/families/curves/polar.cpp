// polar_: curves drawn by a radius that varies with the angle. The roses swing
// a signed radius through the centre to draw their petals; the scallops keep
// the radius positive and ripple it into rounded bulges, one of them bent.
#include <cmath>
#include <string>

#include "families.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 1024;

// A rose with n petals traversed once: odd n close after a half turn of the
// angle, even n need the full turn (r = cos(n/2 theta) gives n petals).
Rows rose(int n) {
    return sample_curve(kPeriod, [n](double t) {
        const bool odd = n % 2 == 1;
        const double theta = odd ? t / 2.0 : t;
        const double r = 0.82 * std::cos((odd ? n : n / 2.0) * theta);
        return Row{r * std::cos(theta), r * std::sin(theta), 0.0};
    });
}

// n rounded scallops around a loop that never reaches the centre. Each bulge is
// a softened |cos(n theta / 2)|, so the notches between bulges are tighter than
// the bulges themselves. The bulge centred a scallop after the start leans
// forward: near its tip the angle is pushed ahead, bending it to one side.
Rows scallop(int n) {
    return sample_scaled_curve(kPeriod, kPeriod, 0.82, [n](double t) {
        constexpr double kSoft = 0.16;
        const double bulge = (std::sqrt(0.5 * (1.0 + std::cos(n * t)) + kSoft * kSoft) - kSoft) /
                             (std::sqrt(1.0 + kSoft * kSoft) - kSoft);
        const double r = 0.7 + 0.3 * bulge;
        const double spacing = kTwoPi / n;
        // Raised cosine around the bent lobe, reaching to its neighbours' tips.
        const double reach = std::fabs(std::remainder(t - spacing, kTwoPi)) / spacing;
        const double window = reach < 1.0 ? 0.5 * (1.0 + std::cos(kPi * reach)) : 0.0;
        const double theta = t + 0.6 * (kPi / n) * bulge * window;
        return Row{r * std::cos(theta), r * std::sin(theta), 0.0};
    });
}

}  // namespace

void emit_polar(Table& table) {
    for (const int n : {3, 6, 7, 8, 9, 10, 11, 12}) {
        table.push_back({"polar_rose_" + std::to_string(n),
                         "A complete signed-radius rose traversal; odd-petal roses use a half-turn "
                         "parameter.",
                         kPeriod, 2, rose(n)});
    }
    for (int n = 2; n <= 9; ++n) {
        table.push_back({"polar_scallop_" + std::to_string(n),
                         "A positive-radius scalloped loop; no centre crossings, with an "
                         "asymmetrically bent lobe.",
                         kPeriod, 2, scallop(n)});
    }
}

}  // namespace gen
