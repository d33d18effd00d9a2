// noise_: smooth "random" loops without any random state. Every control value
// is hashed_unit of an indexed key "<name>/<index>/<channel>" (SHA-256), the
// controls sit at knot pips floor(1024 i / count), and a closed spline joins
// them, so the path is irregular yet exactly periodic and the same on every
// build.
#include <cmath>
#include <string>
#include <vector>

#include "families.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 1024;

// A closed Catmull-Rom curve stays within 1.25 times the largest control
// magnitude, so controls within 0.72 keep the path inside [-0.9, 0.9].
constexpr double kReach = 0.72;

double control(const std::string& name, int index, char channel) {
    return hashed_unit(name + "/" + std::to_string(index) + "/" + channel);
}

int knot_pip(int index, int count) { return kPeriod * index / count; }

// drift and depth: every coordinate of every control is hashed.
Rows wander(const std::string& name, int count, int dimensions) {
    std::vector<Key> keys;
    for (int i = 0; i < count; ++i) {
        Row at{kReach * control(name, i, 'x'), kReach * control(name, i, 'y'), 0.0};
        if (dimensions == 3) at.z = kReach * control(name, i, 'z');
        keys.push_back({static_cast<double>(knot_pip(i, count)), at});
    }
    return closed_spline(keys, kPeriod);
}

// orbit: controls around a circle, each at a hashed radius and nudged along
// the circle by a hashed fraction of its share of the turn.
Rows orbit(const std::string& name, int count) {
    std::vector<Key> keys;
    for (int i = 0; i < count; ++i) {
        const double radius = 0.56 + 0.16 * control(name, i, 'r');
        const double angle = kTwoPi * (i + 0.3 * control(name, i, 'a')) / count;
        keys.push_back({static_cast<double>(knot_pip(i, count)),
                        Row{radius * std::cos(angle), radius * std::sin(angle), 0.0}});
    }
    return closed_spline(keys, kPeriod);
}

// ripple: an exact ellipse whose radius is scaled by a closed spline through
// 2n hashed factors, so n ripples run round a simple loop. Crests
// 1 + (0.15 + 0.07 u) sit at even j and troughs 1 - (0.15 + 0.07 u) at odd j;
// each knot is moved from floor(1024 j / 2n) by up to a quarter of its share
// of the loop, so the ripples are irregular in both height and spacing.
Rows ripple(const std::string& name, int count) {
    const double share = static_cast<double>(kPeriod) / (2 * count);
    std::vector<Key> keys;
    for (int j = 0; j < 2 * count; ++j) {
        const double depth = 0.15 + 0.07 * control(name, j, 'r');
        const double shift = j == 0 ? 0.0 : std::round(0.25 * share * control(name, j, 't'));
        keys.push_back({knot_pip(j, 2 * count) + shift,
                        Row{j % 2 == 0 ? 1.0 + depth : 1.0 - depth, 0.0, 0.0}});
    }
    const Rows factor = closed_spline(keys, kPeriod);
    Rows rows(factor.size());
    for (int p = 0; p < kPeriod; ++p) {
        const double t = phase_angle(p, kPeriod);
        const double f = factor[static_cast<std::size_t>(p)].x;
        rows[static_cast<std::size_t>(p)] = {0.66 * f * std::cos(t), 0.5 * f * std::sin(t), 0.0};
    }
    return rows;
}

}  // namespace

void emit_noise(Table& table) {
    static constexpr struct {
        const char* kind;
        int counts[4];
    } kKinds[] = {{"drift", {5, 7, 9, 11}},
                  {"orbit", {6, 8, 10, 12}},
                  {"ripple", {5, 7, 9, 11}},
                  {"depth", {6, 8, 10, 12}}};
    for (const auto& k : kKinds) {
        const std::string kind = k.kind;
        for (const int n : k.counts) {
            const std::string name = "noise_" + kind + "_" + std::to_string(n);
            const int dimensions = kind == "depth" ? 3 : 2;
            Rows rows = kind == "orbit"    ? orbit(name, n)
                        : kind == "ripple" ? ripple(name, n)
                                           : wander(name, n, dimensions);
            table.push_back({
                name,
                "Indexed SHA-256 control points in a closed " + kind +
                    " path. No mutable random state.",
                kPeriod,
                dimensions,
                std::move(rows),
            });
        }
    }
}

}  // namespace gen
