// spline_: named figures drawn by one closed cubic spline with periodic
// tangents. The controls are deliberately lopsided and each segment gets its
// own share of the eight beats, so the point speeds up and slows down around
// the figure; the last eight figures also travel in depth.
#include <cmath>
#include <string>
#include <vector>

#include "families.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 512;

// A control and the relative time of the segment that leaves it.
struct Control {
    Row at;
    double weight;
};

// Knot pips are the rounded running sums of the weights, scaled to the loop.
Rows figure(const std::vector<Control>& controls) {
    double total = 0.0;
    for (const Control& c : controls) total += c.weight;
    std::vector<Key> keys;
    double elapsed = 0.0;
    for (const Control& c : controls) {
        keys.push_back({std::round(kPeriod * elapsed / total), c.at});
        elapsed += c.weight;
    }
    return closed_spline(keys, kPeriod);
}

// A corner of a bowed polygon, the relative time of the edge that leaves it
// and how far that edge bulges outwards at its middle, as a share of its length.
struct Corner {
    Row at;
    double weight;
    double bulge;
};

// A polygon whose edges bow outwards like a filled sail. Each edge is a
// parabolic arc from corner to corner, bulging away from the middle of the
// figure; the spline passes through the corner and through the arc at 15 %,
// 50 % and 85 % of the way along, with time shared in the same proportions, so
// it bends all along every edge and turns tightly, without a kink, at the
// corners.
std::vector<Control> bowed_outline(const std::vector<Corner>& corners) {
    Row middle;
    for (const Corner& c : corners) middle = middle + c.at;
    const double n = static_cast<double>(corners.size());
    middle = {middle.x / n, middle.y / n, middle.z / n};
    std::vector<Control> controls;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const Row a = corners[i].at, b = corners[(i + 1) % corners.size()].at;
        const Row half_way = 0.5 * (a + b);
        // The edge's normal in the x/y plane, turned to face away from the middle.
        double nx = -(b.y - a.y), ny = b.x - a.x;
        if (nx * (half_way.x - middle.x) + ny * (half_way.y - middle.y) < 0.0) {
            nx = -nx;
            ny = -ny;
        }
        // The arc's middle control sits twice the bulge out, so the arc's own
        // midpoint bulges by exactly `bulge`.
        const double out = 2.0 * corners[i].bulge;
        const Row pull{half_way.x + out * nx, half_way.y + out * ny, half_way.z};
        auto arc = [&](double s) {
            return (1 - s) * (1 - s) * a + 2 * s * (1 - s) * pull + s * s * b;
        };
        const double w = corners[i].weight;
        controls.push_back({a, 0.15 * w});
        controls.push_back({arc(0.15), 0.35 * w});
        controls.push_back({arc(0.5), 0.35 * w});
        controls.push_back({arc(0.85), 0.15 * w});
    }
    return controls;
}

// Five tips of unequal length with unequally spaced arms, and the notches
// between them.
std::vector<Control> asymmetric_star() {
    const double tip_radius[5] = {0.9, 0.7, 0.85, 0.62, 0.8};
    const double tip_shift[5] = {0.0, 0.14, -0.1, 0.17, -0.07};
    const double notch_radius[5] = {0.3, 0.34, 0.26, 0.36, 0.3};
    const double weight[5] = {1.0, 1.3, 0.9, 1.2, 1.1};
    std::vector<Control> controls;
    for (int i = 0; i < 5; ++i) {
        const double tip = kPi / 2 + kTwoPi * i / 5 + tip_shift[i];
        const double notch = kPi / 2 + kTwoPi * (i + 0.5) / 5;
        controls.push_back({{tip_radius[i] * std::cos(tip), tip_radius[i] * std::sin(tip), 0},
                            weight[i]});
        controls.push_back(
            {{notch_radius[i] * std::cos(notch), notch_radius[i] * std::sin(notch), 0},
             0.8 * weight[(i + 2) % 5]});
    }
    return controls;
}

// A loop of unevenly spaced controls on an ellipse tilted out of the x/y
// plane, with slightly irregular radii.
std::vector<Control> slanted_loop() {
    const double angle[7] = {0.2, 1.0, 1.7, 2.7, 3.6, 4.4, 5.4};
    const double radius[7] = {1.0, 0.92, 1.05, 0.95, 1.02, 0.9, 0.98};
    const double weight[7] = {1.0, 0.8, 1.3, 1.1, 0.9, 1.2, 1.0};
    std::vector<Control> controls;
    for (int i = 0; i < 7; ++i) {
        const double a = angle[i], r = radius[i];
        controls.push_back({{0.8 * r * std::cos(a), r * (0.45 * std::sin(a) + 0.3 * std::cos(a)),
                             0.65 * r * std::sin(a + 0.8)},
                            weight[i]});
    }
    return controls;
}

}  // namespace

void emit_spline(Table& table) {
    const struct {
        const char* suffix;
        int dimensions;
        std::vector<Control> controls;
    } figures[] = {
        // A kite whose four unequal sides belly out like a sail.
        {"kite", 2,
         bowed_outline({{{0.04, 0.9, 0}, 1.8, 0.14},
                        {{0.56, 0.28, 0}, 2.3, 0.11},
                        {{-0.06, -0.84, 0}, 2.3, 0.12},
                        {{-0.48, 0.36, 0}, 1.6, 0.16}})},
        // Two wide ends pinched into a waist that the path never crosses.
        {"hourglass", 2,
         {{{-0.62, 0.8, 0}, 1.4}, {{0.66, 0.76, 0}, 1.1}, {{0.1, 0.02, 0}, 0.9},
          {{0.7, -0.74, 0}, 1.5}, {{-0.56, -0.78, 0}, 1.0}, {{-0.08, 0.0, 0}, 0.8}}},
        // Down the stem, round the curl to its tip, and back up the inside.
        {"hook", 2,
         {{{0.35, 0.85, 0}, 1.6}, {{0.4, 0.1, 0}, 1.0}, {{0.3, -0.5, 0}, 0.9},
          {{0.0, -0.8, 0}, 0.8}, {{-0.42, -0.62, 0}, 0.7}, {{-0.5, -0.25, 0}, 0.5},
          {{-0.3, -0.38, 0}, 0.6}, {{-0.02, -0.55, 0}, 0.7}, {{0.16, -0.35, 0}, 0.9},
          {{0.2, 0.2, 0}, 1.2}, {{0.22, 0.82, 0}, 0.6}}},
        // A base and three peaks of different heights.
        {"crown", 2,
         {{{-0.7, -0.6, 0}, 1.6}, {{0.72, -0.58, 0}, 0.9}, {{0.8, 0.62, 0}, 0.8},
          {{0.4, 0.05, 0}, 0.7}, {{0.05, 0.92, 0}, 0.8}, {{-0.35, 0.12, 0}, 0.7},
          {{-0.76, 0.55, 0}, 1.0}}},
        // Two unequal loops crossing at a knot near the centre.
        {"bow", 2,
         {{{0.72, 0.5, 0}, 1.0}, {{0.78, -0.38, 0}, 1.1}, {{-0.04, -0.06, 0}, 0.6},
          {{-0.7, 0.42, 0}, 1.2}, {{-0.66, -0.46, 0}, 0.9}, {{0.04, 0.08, 0}, 0.6}}},
        // Four arms of unequal length and angle, each returning through the centre.
        {"crooked_cross", 2,
         {{{0.85, 0.1, 0}, 0.9}, {{0.1, 0.06, 0}, 0.8}, {{-0.1, 0.88, 0}, 1.1},
          {{-0.06, 0.1, 0}, 0.7}, {{-0.82, -0.18, 0}, 1.0}, {{0.0, -0.08, 0}, 0.8},
          {{0.16, -0.85, 0}, 1.2}, {{0.08, -0.02, 0}, 0.6}}},
        {"asymmetric_star", 2, asymmetric_star()},
        // A thick crescent: the outside of the bowl, the lip, the inside.
        {"scoop", 2,
         {{{-0.78, 0.62, 0}, 0.8}, {{-0.62, -0.3, 0}, 0.9}, {{-0.12, -0.8, 0}, 1.0},
          {{0.45, -0.6, 0}, 1.1}, {{0.8, 0.32, 0}, 0.7}, {{0.6, 0.42, 0}, 0.6},
          {{0.32, -0.18, 0}, 0.9}, {{-0.12, -0.42, 0}, 1.0}, {{-0.45, -0.02, 0}, 0.8},
          {{-0.58, 0.6, 0}, 0.6}}},
        // The kite's outline tipped back so its top is far and its tail near.
        {"rising_kite", 3,
         bowed_outline({{{0.02, 0.86, 0.78}, 1.8, 0.12},
                        {{0.6, 0.24, 0.3}, 2.5, 0.15},
                        {{-0.04, -0.8, -0.72}, 2.2, 0.11},
                        {{-0.5, 0.3, 0.2}, 1.6, 0.14}})},
        // The bow's loops pulled to opposite depths.
        {"twisted_bow", 3,
         {{{0.7, 0.48, 0.62}, 1.1}, {{0.76, -0.4, 0.5}, 1.0}, {{-0.05, -0.08, -0.05}, 0.6},
          {{-0.68, 0.44, -0.6}, 1.2}, {{-0.64, -0.48, -0.52}, 0.9}, {{0.05, 0.1, 0.08}, 0.7}}},
        // A cup seen from the side: once round the rim, down one wall, across
        // the bottom, up the other wall, and half round the rim again.
        {"cup", 3,
         {{{0.72, 0.6, 0.0}, 0.9}, {{0.04, 0.63, -0.7}, 1.0}, {{-0.72, 0.6, 0.02}, 0.8},
          {{-0.02, 0.57, 0.7}, 1.1}, {{0.7, 0.6, 0.05}, 0.8}, {{0.55, -0.15, 0.05}, 0.9},
          {{0.12, -0.74, 0.12}, 0.7}, {{-0.3, -0.7, -0.1}, 0.9}, {{-0.56, -0.1, 0.0}, 0.8},
          {{-0.7, 0.58, 0.04}, 1.0}, {{0.0, 0.6, 0.72}, 1.1}}},
        // A high arch in front, across the deck and back over a lower arch behind.
        {"bridge", 3,
         {{{-0.82, -0.62, 0.45}, 0.9}, {{-0.55, 0.35, 0.45}, 0.8}, {{0.0, 0.72, 0.42}, 1.0},
          {{0.55, 0.38, 0.4}, 0.8}, {{0.8, -0.6, 0.45}, 1.3}, {{0.78, -0.58, -0.45}, 1.0},
          {{0.35, 0.2, -0.5}, 1.2}, {{-0.3, 0.25, -0.5}, 1.0}, {{-0.8, -0.55, -0.4}, 1.1}}},
        // A shoreline with two bays, one near and one far, closed along the bottom.
        {"double_bay", 3,
         {{{-0.85, 0.5, 0.0}, 0.9}, {{-0.45, -0.2, 0.6}, 1.0}, {{0.0, 0.55, 0.1}, 0.8},
          {{0.45, -0.05, -0.55}, 1.1}, {{0.85, 0.45, 0.05}, 1.3}, {{0.55, -0.7, -0.2}, 1.2},
          {{-0.5, -0.74, 0.2}, 1.0}}},
        {"slanted_loop", 3, slanted_loop()},
        // Up the handle and out to the tip of each of three tines, fanned in depth.
        {"fork", 3,
         {{{0.05, -0.88, -0.3}, 1.2}, {{0.02, -0.3, -0.1}, 0.7}, {{0.0, 0.1, 0.0}, 0.8},
          {{-0.5, 0.82, 0.4}, 0.9}, {{-0.15, 0.15, 0.1}, 0.8}, {{0.02, 0.88, 0.0}, 0.9},
          {{0.15, 0.12, -0.05}, 0.8}, {{0.55, 0.78, -0.45}, 1.0}, {{0.12, 0.0, -0.1}, 0.7},
          {{0.1, -0.35, -0.2}, 1.1}}},
        // The crown with its side peaks in front and its middle peak behind.
        {"folded_crown", 3,
         {{{-0.7, -0.6, 0.3}, 1.5}, {{0.72, -0.55, -0.3}, 1.0}, {{0.78, 0.6, 0.5}, 0.8},
          {{0.42, 0.0, 0.0}, 0.7}, {{0.05, 0.9, -0.55}, 0.9}, {{-0.38, 0.08, 0.0}, 0.7},
          {{-0.75, 0.52, 0.5}, 1.1}}},
    };
    for (const auto& f : figures) {
        table.push_back({
            std::string("spline_") + f.suffix,
            "Periodic cubic tangents connect asymmetrical controls with unequal segment times.",
            kPeriod,
            f.dimensions,
            figure(f.controls),
        });
    }
}

}  // namespace gen
