// reach_: n reaches in turn, each leaving a resting centre (off the origin) in
// its own direction and length and settling back there, shaped as a scoop, a
// hook, a lift into depth or a reach that recoils past the centre.
#include <cmath>
#include <string>

#include "families.hpp"
#include "paths_common.hpp"

namespace gen {
namespace {

enum class Shape { scoop, hook, lift, recoil };

// The reach at local time s in [0, 1], as (along the reach, across it, up in
// depth); it starts and ends at the centre at rest.
Row reach_shape(Shape shape, double s) {
    const double out = 0.5 - 0.5 * std::cos(kTwoPi * s);  // out and back, 1 at s = 0.5
    const double swing = std::sin(kTwoPi * s) * out;       // one side going out, the other back
    const double tip = std::pow(std::sin(kPi * s), 6.0);   // only near the far end
    switch (shape) {
        case Shape::scoop:  // dips under the line on the way out, rises over it coming back
            return Row{out, -0.6 * swing, 0.0};
        case Shape::hook:  // a straight reach that curls sideways and back at its end
            return Row{out - 0.3 * tip, 0.45 * tip + 0.08 * swing, 0.0};
        case Shape::lift:  // rises in depth towards the far end
            return Row{out, 0.15 * swing, 0.9 * std::pow(std::sin(kPi * s), 3.0)};
        case Shape::recoil: {  // overshoots behind the centre before settling
            const double s2 = std::sin(kPi * s) * std::sin(kPi * s);
            return Row{s2 * (0.35 + std::cos(kPi * s)) / 1.04, 0.12 * swing, 0.0};
        }
    }
    return {};
}

Rows reaches(Shape shape, int count, int period) {
    const Row centre = {0.1, -0.12, shape == Shape::lift ? -0.2 : 0.0};
    const double slot = static_cast<double>(period) / count;
    const double rest = 0.22 * slot;
    // Successive reaches jump round the circle rather than stepping to the neighbour.
    const int stride = count == 4 ? 1 : (count - 1) / 2;
    std::vector<paths::Segment> segments;
    for (int k = 0; k < count; ++k) {
        const double angle = 1.3 + kTwoPi * stride * k / count;
        const double length = 0.62 * (1.0 - 0.3 * ((3 * k) % count) / count);
        const Row along = {std::cos(angle), std::sin(angle), 0.0};
        const Row across = {-std::sin(angle), std::cos(angle), 0.0};
        segments.push_back({slot - rest, [=](double s) {
                                 const Row r = reach_shape(shape, s);
                                 return centre + length * (r.x * along + r.y * across) +
                                        Row{0.0, 0.0, length * r.z};
                             }});
        segments.push_back(paths::hold(rest, centre));
    }
    // The loop starts in the middle of the last rest.
    Rows rows = paths::play_segments(segments, period, period - 0.5 * rest);
    paths::scale_rows(rows, 0.82);
    return rows;
}

}  // namespace

void emit_reach(Table& table) {
    static constexpr struct {
        const char* name;
        Shape shape;
    } kShapes[] = {{"scoop", Shape::scoop},
                   {"hook", Shape::hook},
                   {"lift", Shape::lift},
                   {"recoil", Shape::recoil}};
    constexpr int kPeriod = 1024;
    for (const int count : {3, 4, 5, 7}) {
        for (const auto& s : kShapes) {
            table.push_back({
                "reach_" + std::string(s.name) + "_" + std::to_string(count),
                "Separate shaped reaches depart from and settle at a shared centre, without reset jumps.",
                kPeriod,
                s.shape == Shape::lift ? 3 : 2,
                reaches(s.shape, count, kPeriod),
            });
        }
    }
}

}  // namespace gen
