// mech_: position studies of small mechanisms driven by a crank turning once
// per eight beats: pistons, yokes, cams and followers, quick-return levers, an
// escapement and a four-bar linkage. Kinematics only, no forces or masses.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "families.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 512;
constexpr double kReach = 0.82;

using Curve = std::function<Row(double t)>;

Rows direct(const Curve& curve) { return sample_curve(kPeriod, curve); }

Rows scaled(const Curve& curve) { return sample_scaled_curve(kPeriod, kPeriod, kReach, curve); }

// Rows of a mechanism traced in its own units: each axis is centred on the
// middle of its travel and all axes share one scale, so the traced shape keeps
// its proportions while its largest excursion becomes kReach.
Rows centred(const Curve& curve) {
    Rows rows = sample_curve(kPeriod, curve);
    Row low = rows.front();
    Row high = rows.front();
    for (const Row& r : rows) {
        low = {std::min(low.x, r.x), std::min(low.y, r.y), std::min(low.z, r.z)};
        high = {std::max(high.x, r.x), std::max(high.y, r.y), std::max(high.z, r.z)};
    }
    const Row middle{0.5 * (low.x + high.x), 0.5 * (low.y + high.y), 0.5 * (low.z + high.z)};
    const double half_span =
        0.5 * std::max({high.x - low.x, high.y - low.y, high.z - low.z});
    const double scale = kReach / half_span;
    for (Row& r : rows) {
        r = {scale * (r.x - middle.x), scale * (r.y - middle.y), scale * (r.z - middle.z)};
    }
    return rows;
}

// A slider-crank whose slider line sits off the crank centre. The offset makes
// the outward stroke take longer than the return, so the slider (x) runs a
// lopsided stroke while the crank pin rises and falls (y).
Row offset_crank(double t) {
    constexpr double kRod = 2.6;
    constexpr double kOffset = 0.9;
    const double lift = std::sin(t) - kOffset;
    return {std::cos(t) + std::sqrt(kRod * kRod - lift * lift), std::sin(t), 0.0};
}

// Crank and slotted lever: the crank pin slides in a slot of a lever pivoted
// below the crank centre, and the lever tip swings along its arc. The lever
// covers the pin's far half turn going out and the near half turn coming back,
// so the return is quick.
Row whitworth(double t) {
    constexpr double kPivotDrop = 1.7;  // crank radius 1
    constexpr double kLever = 2.6;
    const double lever = std::atan2(std::sin(t), kPivotDrop + std::cos(t));
    return {kLever * std::sin(lever), kLever * std::cos(lever) - kPivotDrop, 0.0};
}

// An elliptic cam turning about a point off its centre, under a flat-faced
// follower. The follower lift is the cam's extent in the follower's direction
// (y); the contact point slides along the follower face by the rate of change
// of that lift (x). The offset makes the two rises of each turn unequal.
Row elliptic_cam(double t) {
    constexpr double kMajor = 1.0;
    constexpr double kMinor = 0.62;
    constexpr double kOffset = 0.22;
    const double c = std::cos(t);
    const double s = std::sin(t);
    const double extent = std::sqrt(kMajor * kMajor * c * c + kMinor * kMinor * s * s);
    const double lift = extent + kOffset * c;
    const double slide = -(kMajor * kMajor - kMinor * kMinor) * s * c / extent - kOffset * s;
    return {slide, lift, 0.0};
}

// A tooth tip of an escape wheel released one eighth of a turn per beat: each
// step starts and stops with zero speed, and while the wheel moves the pallet
// presses the tooth inward a little.
Rows escapement() {
    constexpr int kSteps = 8;
    constexpr int kStepPips = kPeriod / kSteps;
    Rows rows;
    for (int p = 0; p < kPeriod; ++p) {
        const double f = static_cast<double>(p % kStepPips) / kStepPips;
        const double advance = f - std::sin(kTwoPi * f) / kTwoPi;
        const double angle = kTwoPi * ((p / kStepPips) + advance) / kSteps + 0.3;
        const double press = std::sin(kPi * f);
        const double r = kReach * (1.0 - 0.12 * press * press);
        rows.push_back({r * std::cos(angle), r * std::sin(angle), 0.0});
    }
    return rows;
}

// Where a link of length `arm` from `pivot` must point so that its end lies
// `rod` away from `pin` (the upper of the two assemblies).
double link_angle(double pin_x, double pin_y, double pivot_x, double pivot_y, double arm,
                  double rod) {
    const double dx = pin_x - pivot_x;
    const double dy = pin_y - pivot_y;
    const double distance = std::hypot(dx, dy);
    return std::atan2(dy, dx) +
           std::acos((arm * arm + distance * distance - rod * rod) / (2.0 * arm * distance));
}

// A walking beam: a crank pulls one end of a pivoted beam through a rod, and
// the far end of the beam rocks along its arc, faster one way than the other.
Row rocking_beam(double t) {
    constexpr double kCrank = 0.5;
    constexpr double kRod = 1.6;
    constexpr double kPivotX = 1.4;
    constexpr double kPivotY = 1.2;
    constexpr double kDrivenArm = 0.9;
    constexpr double kFreeArm = 1.2;
    const double beam =
        link_angle(kCrank * std::cos(t), kCrank * std::sin(t), kPivotX, kPivotY, kDrivenArm, kRod);
    return {kPivotX - kFreeArm * std::cos(beam), kPivotY - kFreeArm * std::sin(beam), 0.0};
}

// A crank-rocker four-bar: a point on the coupler, off the line of its two
// joints, draws the linkage's lopsided coupler curve (x, y), while the rocker's
// swing is carried as depth (z).
Row crank_rocker(double t) {
    constexpr double kCrank = 0.35;
    constexpr double kCoupler = 1.0;
    constexpr double kRocker = 0.8;
    constexpr double kGround = 1.0;
    const double bx = kCrank * std::cos(t);
    const double by = kCrank * std::sin(t);
    // The rocker end C is kCoupler from B and kRocker from the ground pivot D:
    // the coupler's angle at B, solved like a link pivoted at B.
    const double coupler = link_angle(kGround, 0.0, bx, by, kCoupler, kRocker);
    const double ux = std::cos(coupler);
    const double uy = std::sin(coupler);
    const double cx = bx + kCoupler * ux;
    const double cy = by + kCoupler * uy;
    const double rocker = std::atan2(cy, cx - kGround);
    // Coupler point: half-way along B->C and 0.45 to its left.
    return {bx + 0.5 * kCoupler * ux - 0.45 * kCoupler * uy,
            by + 0.5 * kCoupler * uy + 0.45 * kCoupler * ux, kRocker * rocker};
}

// A disc cam with cycloidal rise, upper dwell, cycloidal return and lower
// dwell, under a flat-faced follower: lift (y) and the contact point's slide
// along the follower face (x, the rate of change of lift per radian).
Row cam_return(double t) {
    constexpr double kRise = 0.34;
    constexpr double kUpperDwell = 0.16;
    constexpr double kReturn = 0.34;
    const double u = t / kTwoPi;
    auto cycloidal = [](double s) { return s - std::sin(kTwoPi * s) / kTwoPi; };
    auto cycloidal_rate = [](double s) { return 1.0 - std::cos(kTwoPi * s); };
    double lift = 0.0;
    double rate = 0.0;
    if (u < kRise) {
        lift = cycloidal(u / kRise);
        rate = cycloidal_rate(u / kRise) / kRise;
    } else if (u < kRise + kUpperDwell) {
        lift = 1.0;
    } else if (u < kRise + kUpperDwell + kReturn) {
        const double s = (u - kRise - kUpperDwell) / kReturn;
        lift = 1.0 - cycloidal(s);
        rate = -cycloidal_rate(s) / kReturn;
    }
    return {rate / kTwoPi, lift, 0.0};
}

}  // namespace

void emit_mech(Table& table) {
    struct Member {
        const char* suffix;
        const char* label;
        int dimensions;
        std::function<Rows()> rows;
    };
    const Member members[] = {
        {"piston_short", "Short-rod piston", 2,
         [] {
             return direct([](double t) {
                 const double s = std::sin(t);
                 return Row{0.82 * (std::cos(t) + std::sqrt(4.0 - s * s) - 2.0), 0.246 * s, 0.0};
             });
         }},
        {"piston_long", "Long-rod piston", 2,
         [] {
             return direct([](double t) {
                 const double s = std::sin(t);
                 return Row{0.82 * (std::cos(t) + std::sqrt(16.0 - s * s) - 4.0),
                            0.205 * std::sin(2.0 * t), 0.0};
             });
         }},
        {"offset_crank", "Offset crank", 2, [] { return centred(offset_crank); }},
        {"scotch_yoke", "Yoke with rocking linkage", 2,
         [] {
             return direct([](double t) {
                 return Row{0.82 * std::cos(t), 0.287 * std::sin(t) + 0.1476 * std::sin(3.0 * t),
                            0.0};
             });
         }},
        {"whitworth", "Quick-return linkage study", 2, [] { return centred(whitworth); }},
        {"elliptic_cam", "Elliptic cam follower", 2, [] { return centred(elliptic_cam); }},
        {"two_lobe_cam", "Two-lobe cam follower", 2,
         [] {
             return scaled([](double t) {
                 return Row{0.3 * std::sin(t), 0.2 * std::cos(t) + 0.55 * std::cos(2.0 * t), 0.0};
             });
         }},
        {"three_lobe_cam", "Three-lobe cam follower", 2,
         [] {
             return scaled([](double t) {
                 return Row{0.15 * std::sin(t), 0.12 * std::cos(t) + 0.6 * std::cos(3.0 * t),
                            0.0};
             });
         }},
        {"escapement", "Soft escapement study", 2, escapement},
        {"paddle", "Paddle-wheel tip", 2,
         [] {
             return scaled([](double t) {
                 return Row{std::cos(t) + 0.23 * std::cos(4.0 * t),
                            std::sin(t) + 0.23 * std::sin(4.0 * t), 0.0};
             });
         }},
        {"wobble_plate", "Wobble-plate trace", 3,
         [] {
             return direct([](double t) {
                 return Row{0.82 * std::cos(t), 0.287 * std::sin(t),
                            0.41 * std::sin(2.0 * t + 0.3)};
             });
         }},
        {"rocking_beam", "Rocking beam", 2, [] { return centred(rocking_beam); }},
        {"coupled_cranks", "Coupled cranks", 2,
         [] {
             return scaled([](double t) {
                 return Row{std::cos(t) + 0.35 * std::cos(3.0 * t + 0.6),
                            std::sin(t) - 0.35 * std::sin(3.0 * t + 0.6), 0.0};
             });
         }},
        {"crank_rocker", "Crank and rocker study", 3, [] { return centred(crank_rocker); }},
        {"piston_balance", "Piston and balance mass", 3,
         [] {
             return direct([](double t) {
                 return Row{0.82 * std::cos(t), 0.41 * std::sin(2.0 * t), 0.205 * std::sin(t)};
             });
         }},
        {"cam_return", "Cam rise and return", 2, [] { return centred(cam_return); }},
    };
    for (const Member& m : members) {
        table.push_back({std::string("mech_") + m.suffix,
                         std::string(m.label) +
                             "; an original kinematic-style position study, not an engineering "
                             "simulation.",
                         kPeriod, m.dimensions, m.rows()});
    }
}

}  // namespace gen
