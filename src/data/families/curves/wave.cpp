// wave_: single-axis control waves, each a smooth periodic shape (pinched,
// folded, squared, warped, notched, toothed...) played once per eight beats as
// horizontal displacement only.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "families.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 512;
constexpr double kReach = 0.82;

// A wave given by a raw function of the phase; `direct` waves are already at
// their final size, the others are scaled so their largest swing is kReach.
Rows formula_wave(const std::function<double(double)>& wave, bool direct) {
    auto curve = [&](double t) { return Row{wave(t), 0.0, 0.0}; };
    return direct ? sample_curve(kPeriod, curve)
                  : sample_scaled_curve(kPeriod, kPeriod, kReach, curve);
}

// Rows of a lane stretched so that its lowest and highest values land on
// -kReach and +kReach.
Rows spanned_lane(const std::vector<double>& lane) {
    const auto [low, high] = std::minmax_element(lane.begin(), lane.end());
    const double middle = 0.5 * (*low + *high);
    const double scale = 2.0 * kReach / (*high - *low);
    Rows rows;
    for (const double v : lane) rows.push_back({scale * (v - middle), 0.0, 0.0});
    return rows;
}

std::vector<double> lane_of(const std::function<double(double u)>& shape) {
    // u is the position in the loop, 0 <= u < 1.
    std::vector<double> lane;
    for (int p = 0; p < kPeriod; ++p) lane.push_back(shape(static_cast<double>(p) / kPeriod));
    return lane;
}

// A softened half-wave rectifier: the positive half of a sine swells out of a
// resting floor, the negative half is flattened onto it.
Rows soft_rectifier() {
    return spanned_lane(lane_of([](double u) {
        return std::log1p(std::exp(4.0 * std::sin(kTwoPi * u))) / 4.0;
    }));
}

// A rounded rise to the crest, then a return that drops steeply and flattens
// out as it nears the floor: the scoop of a ramp, not a mirrored rise.
Rows scoop_warp() {
    constexpr double kRiseEnd = 0.38;
    return spanned_lane(lane_of([](double u) {
        if (u < kRiseEnd) return smoothstep(u / kRiseEnd);
        const double s = (u - kRiseEnd) / (1.0 - kRiseEnd);
        // (1 - s)^4 (1 + 4 s) leaves and arrives with zero slope and covers
        // most of its travel in the first third.
        const double rest = 1.0 - s;
        return rest * rest * rest * rest * (1.0 + 4.0 * s);
    }));
}

// Up from the floor onto a held shelf, on to the crest, then down past the
// floor into a scoop and back up to rest.
Rows shelf_wave() {
    const std::vector<Key> keys = {
        {0, {-0.5, 0, 0}},   {88, {0.18, 0, 0}},  {184, {0.18, 0, 0}},
        {264, {0.82, 0, 0}}, {400, {-0.82, 0, 0}},
    };
    return keyframe_path(keys, kPeriod);
}

// The outline of a bottle traced along its height: a broad, full body, the
// shoulder turning in, a long narrow neck, a small lip, then down to the base.
Rows bottle() {
    const std::vector<Key> keys = {
        {0, {-0.62, 0, 0}},   {40, {0.45, 0, 0}},   {96, {0.78, 0, 0}},
        {160, {0.8, 0, 0}},   {204, {0.5, 0, 0}},   {236, {-0.12, 0, 0}},
        {262, {-0.26, 0, 0}}, {320, {-0.28, 0, 0}}, {352, {-0.06, 0, 0}},
        {378, {-0.3, 0, 0}},  {448, {-0.82, 0, 0}},
    };
    std::vector<double> lane;
    for (const Row& r : closed_spline(keys, kPeriod)) lane.push_back(r.x);
    return spanned_lane(lane);
}

// Three rounded sawteeth: a long rise and a quick soft fall, the sum of a
// geometric series of harmonics (closed form of sum e^k sin(k u) / k).
double soft_teeth(double t) {
    constexpr double kSharpness = 0.6;
    const double u = 3.0 * t + 1.0;
    return -std::atan2(kSharpness * std::sin(u), 1.0 - kSharpness * std::cos(u));
}

// A biased sine folded back on itself, driven through a skewed phase so the
// folds bunch up on one side of the loop.
double warped_fold(double t) {
    return std::sin(2.9 * std::sin(t + 0.55 * std::sin(t)) + 0.5);
}

}  // namespace

void emit_wave(Table& table) {
    struct Member {
        const char* suffix;
        const char* label;
        std::function<Rows()> rows;
    };
    auto scaled = [](double (*wave)(double)) {
        return [wave] { return formula_wave(wave, false); };
    };
    const Member members[] = {
        {"pinched", "Pinched sine",
         [] {
             return formula_wave(
                 [](double t) {
                     const double s = std::sin(t);
                     return 0.82 * (s * s * s);
                 },
                 true);
         }},
        {"shouldered", "Shouldered sine",
         scaled([](double t) { return std::sin(t) * (1.0 + 0.62 * std::cos(2.0 * t)); })},
        {"folded", "Folded sine", scaled([](double t) { return std::sin(2.2 * std::sin(t)); })},
        {"double_fold", "Double-fold wave",
         scaled([](double t) { return std::sin(3.8 * std::sin(t)); })},
        {"rounded_square", "Rounded square",
         scaled([](double t) { return std::tanh(2.0 * std::sin(t)); })},
        {"soft_rectifier", "Soft rectified swell", soft_rectifier},
        {"skew_warp", "Phase-skew sweep",
         scaled([](double t) { return std::sin(t + 0.7 * std::sin(t)); })},
        {"scoop_warp", "Scooped return", scoop_warp},
        {"shelf_wave", "Shelf and scoop", shelf_wave},
        {"notched", "Notched crest", scaled([](double t) {
             return std::sin(t) - 0.36 * std::sin(3.0 * t) + 0.12 * std::cos(5.0 * t);
         })},
        {"bottle", "Bottle-neck swell", bottle},
        {"reed", "Reed flutter",
         scaled([](double t) { return std::sin(t) * (0.85 + 0.4 * std::cos(7.0 * t)); })},
        {"unequal_peaks", "Unequal double crest",
         scaled([](double t) { return 0.67 * std::sin(t) + 0.4 * std::sin(2.0 * t + 0.8); })},
        {"ripple_return", "Rippled recovery", scaled([](double t) {
             return std::sin(t) + 0.09 * std::sin(5.0 * t) * (1.0 + std::cos(t));
         })},
        {"soft_teeth", "Soft triple teeth", scaled(soft_teeth)},
        {"warped_fold", "Warped wave fold", scaled(warped_fold)},
    };
    for (const Member& m : members) {
        table.push_back({std::string("wave_") + m.suffix,
                         std::string(m.label) +
                             "; a continuous shaped control wave, mapped to horizontal displacement.",
                         kPeriod, 1, m.rows()});
    }
}

}  // namespace gen
