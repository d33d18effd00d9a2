// tour_: the star polygon {n/k} walked vertex by vertex. The n vertices sit on
// a squashed, slightly irregular ring; the point dwells at each vertex (long
// and short dwells alternate), then glides k vertices on with a smoothstep,
// so every corner is eased. The 3-D tours lift the vertices onto a crown.
#include <cmath>
#include <string>
#include <vector>

#include "families.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 1024;

Row vertex(int j, int n, bool depth) {
    const double angle = kPi / 2 + kTwoPi * j / n + 0.17;
    const double radius = 1.0 + 0.07 * std::sin(2.3 * j + 0.4);
    Row v{0.84 * radius * std::cos(angle), 0.6 * radius * std::sin(angle), 0.0};
    if (depth) v.z = 0.62 * std::cos(2.0 * kTwoPi * j / n + 0.3);
    return v;
}

Rows tour(int n, int k, bool depth) {
    // Time units: a long dwell 3, a short dwell 1, every glide 3.
    constexpr double kLong = 3.0, kShort = 1.0, kGlide = 3.0;
    const double units = n * kGlide + ((n + 1) / 2) * kLong + (n / 2) * kShort;
    const double pips_per_unit = kPeriod / units;
    std::vector<Key> keys;
    double start = 0.0;
    for (int m = 0; m < n; ++m) {
        const Row v = vertex(m * k % n, n, depth);
        const double dwell = m % 2 == 0 ? kLong : kShort;
        keys.push_back({std::round(start * pips_per_unit), v});
        keys.push_back({std::round((start + dwell) * pips_per_unit), v});
        start += dwell + kGlide;
    }
    return keyframe_path(keys, kPeriod);
}

}  // namespace

void emit_tour(Table& table) {
    static constexpr struct {
        int n;
        int k;
        int dimensions;
    } kTours[] = {{5, 2, 2},  {7, 2, 2},  {7, 3, 2},  {8, 3, 2},  {9, 2, 2},  {9, 4, 2},
                  {10, 3, 2}, {11, 2, 2}, {11, 3, 3}, {11, 4, 3}, {12, 5, 3}, {13, 2, 3},
                  {13, 3, 3}, {13, 4, 3}, {13, 5, 3}, {14, 3, 3}};
    for (const auto& t : kTours) {
        table.push_back({
            "tour_" + std::to_string(t.n) + "_" + std::to_string(t.k),
            "A noncircular vertex tour with eased corners and alternating dwell lengths.",
            kPeriod,
            t.dimensions,
            tour(t.n, t.k, t.dimensions == 3),
        });
    }
}

}  // namespace gen
