// arm_coupled_: the tip of a two-link arm. The shoulder and elbow angles are
// periodic functions of the loop, the elbow also following the shoulder with a
// lag; members 09-16 also turn the arm's plane about the vertical (a base yaw),
// so the tip sweeps into depth. Plain forward kinematics, no dynamics.
#include <cmath>
#include <string>

#include "families.hpp"
#include "paths_common.hpp"

namespace gen {
namespace {

struct Arm {
    double upper, fore;            // link lengths
    double shoulder, shoulder_swing;
    int shoulder_cycles;
    double elbow, elbow_swing;
    int elbow_cycles;
    double follow;                 // how much of the shoulder swing the elbow copies, lagged
    double yaw_swing;              // base yaw (0 keeps the arm in the picture plane)
    int yaw_cycles;
};

// Angles in radians; the shoulder angle is measured from the horizontal, the
// elbow angle relative to the upper link.
constexpr Arm kArms[] = {
    {0.55, 0.45, 0.7, 0.5, 1, -1.2, 0.6, 2, 0.4, 0.0, 0},
    {0.5, 0.5, 0.9, 0.6, 1, -0.9, 0.7, 3, -0.5, 0.0, 0},
    {0.65, 0.35, 0.5, 0.45, 2, -1.5, 0.8, 3, 0.3, 0.0, 0},
    {0.45, 0.55, 1.1, 0.7, 1, -1.7, 0.5, 2, 0.6, 0.0, 0},
    {0.6, 0.4, 0.8, 0.35, 3, -1.0, 0.9, 2, -0.3, 0.0, 0},
    {0.5, 0.45, 0.6, 0.55, 2, -1.3, 0.6, 5, 0.5, 0.0, 0},
    {0.7, 0.3, 1.0, 0.5, 1, -0.8, 1.0, 4, -0.4, 0.0, 0},
    {0.4, 0.6, 0.75, 0.6, 2, -1.4, 0.7, 3, 0.45, 0.0, 0},
    {0.55, 0.45, 0.8, 0.45, 2, -1.2, 0.6, 3, 0.35, 0.7, 1},
    {0.5, 0.5, 0.6, 0.6, 1, -1.0, 0.8, 2, -0.45, 0.6, 2},
    {0.6, 0.4, 1.0, 0.5, 1, -1.6, 0.7, 3, 0.5, 0.8, 1},
    {0.45, 0.55, 0.7, 0.4, 3, -1.1, 0.5, 2, 0.4, 0.5, 2},
    {0.65, 0.4, 0.9, 0.55, 2, -0.9, 0.9, 5, -0.35, 0.75, 1},
    {0.5, 0.4, 0.5, 0.6, 1, -1.4, 0.6, 4, 0.55, 0.65, 3},
    {0.6, 0.5, 0.85, 0.4, 2, -1.3, 0.8, 3, -0.5, 0.55, 1},
    {0.45, 0.5, 1.05, 0.65, 1, -1.5, 0.55, 3, 0.3, 0.7, 2},
};

Rows arm_tip(const Arm& a, int period) {
    Rows rows = sample_curve(period, [&](double t) {
        const double swing = std::sin(a.shoulder_cycles * t + 0.4);
        const double shoulder = a.shoulder + a.shoulder_swing * swing;
        const double lagged = std::sin(a.shoulder_cycles * t - 0.5);
        const double elbow = a.elbow + a.elbow_swing * std::sin(a.elbow_cycles * t + 1.1) +
                             a.follow * a.shoulder_swing * lagged;
        // Reach out (horizontal) and height of the tip in the arm's own plane.
        const double out = a.upper * std::cos(shoulder) + a.fore * std::cos(shoulder + elbow);
        const double up = a.upper * std::sin(shoulder) + a.fore * std::sin(shoulder + elbow);
        const double yaw = a.yaw_swing * std::sin(a.yaw_cycles * t + 0.8);
        return Row{out * std::cos(yaw), up, out * std::sin(yaw)};
    });
    // Centre the tip's range of motion on the origin, then fit it to the field.
    Row low = rows.front(), high = rows.front();
    for (const Row& r : rows) {
        low = {std::min(low.x, r.x), std::min(low.y, r.y), std::min(low.z, r.z)};
        high = {std::max(high.x, r.x), std::max(high.y, r.y), std::max(high.z, r.z)};
    }
    const Row middle = 0.5 * (low + high);
    for (Row& r : rows) r = r - middle;
    paths::scale_rows(rows, 0.82);
    return rows;
}

}  // namespace

void emit_arm_coupled(Table& table) {
    constexpr int kPeriod = 1024;
    for (std::size_t i = 0; i < std::size(kArms); ++i) {
        table.push_back({
            "arm_coupled_" + paths::two_digits(static_cast<int>(i + 1)),
            "Tip position of two kinematically driven links; not a dynamics simulation or "
            "anatomical model.",
            kPeriod,
            kArms[i].yaw_swing != 0.0 ? 3 : 2,
            arm_tip(kArms[i], kPeriod),
        });
    }
}

}  // namespace gen
