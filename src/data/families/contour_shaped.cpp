// contour_shaped_: an oval whose edges follow signed powers of cosine and sine
// (boxy for exponents below one, pinched above), with a patch of ripples, a
// counted few crests on one stretch of the edge, and a lopsided bow bending the
// whole outline.
#include <algorithm>
#include <cmath>
#include <string>

#include "../families.hpp"
#include "paths_common.hpp"

namespace gen {
namespace {

struct Contour {
    double power;        // edge exponent: < 1 boxy, > 1 pinched
    double aspect;       // height of the oval against its width
    int ripples;         // crests in the rippled patch
    double ripple_at;    // centre of the patch, as an angle round the oval
    double bow;          // bend of the outline (positive: ends lift)
    double depth;        // tilt of the oval into depth (3-D members)
};

constexpr Contour kContours[] = {
    {0.55, 0.75, 4, 0.0, 0.22, 0.0},   {0.7, 0.62, 5, 3.1, -0.18, 0.0},
    {1.35, 0.85, 3, 3.9, 0.26, 0.0},   {1.0, 0.95, 6, 4.7, -0.3, 0.0},
    {1.6, 0.72, 4, 2.4, -0.24, 0.0},   {0.85, 0.9, 5, 1.6, 0.3, 0.0},
    {1.45, 0.5, 7, 5.5, 0.12, 0.0},    {1.2, 0.66, 4, 0.8, 0.2, 0.0},
    {0.5, 0.72, 4, 1.6, 0.2, 0.55},    {1.4, 0.8, 5, 5.5, -0.22, 0.7},
    {0.65, 0.6, 3, 0.0, 0.28, -0.6},   {1.1, 0.85, 6, 3.6, -0.16, 0.5},
    {0.75, 0.7, 5, 4.7, 0.24, -0.65},  {1.7, 0.78, 4, 0.8, 0.18, 0.6},
    {0.55, 0.9, 6, 3.1, -0.26, 0.75},  {0.9, 0.58, 4, 5.5, 0.3, -0.55},
};

// The rippled patch spans this angle either side of its centre; its edges
// fade over the outer third. Boxy outlines (power below one) centre it on the
// middle of a side, pinched ones between two tips, so it lies on a smooth
// stretch of edge.
constexpr double kPatchHalfWidth = 0.6;
// Crest height, away from the outline.
constexpr double kRippleSize = 0.055;

Row oval_edge(const Contour& c, double u) {
    return {paths::signed_power(std::cos(u), c.power, 0.06),
            c.aspect * paths::signed_power(std::sin(u), c.power, 0.06), 0.0};
}

Row contour_point(const Contour& c, double t) {
    const double u = t + 0.35;  // start a little past the right-hand end
    Row edge = oval_edge(c, u);
    // `ripples` whole waves across the patch, each crest in the middle of its
    // own equal share of it, at full size in the middle of the patch and
    // fading to nothing at its edges; they push the edge along its outward
    // normal, so they stand square to the outline whatever its shape.
    const double offset = std::remainder(u - c.ripple_at, kTwoPi);
    const double window =
        smoothstep(std::clamp((kPatchHalfWidth - std::fabs(offset)) / (kPatchHalfWidth / 3.0),
                              0.0, 1.0));
    if (window > 0.0) {
        constexpr double kDu = 1e-4;
        const Row ahead = oval_edge(c, u + kDu), behind = oval_edge(c, u - kDu);
        const double tx = ahead.x - behind.x, ty = ahead.y - behind.y;
        const double length = std::hypot(tx, ty);
        const double wave = std::cos(kPi * c.ripples * (offset / kPatchHalfWidth + 1.0) - kPi);
        const double push = kRippleSize * window * wave / length;
        // The loop runs anticlockwise, so the outward normal is the tangent
        // turned clockwise.
        edge.x += push * ty;
        edge.y -= push * tx;
    }
    double x = edge.x, y = edge.y;
    // The bow lifts (or drops) both ends of the oval, more on the right.
    y += 1.3 * c.bow * (x * x - 0.4) * (1.0 + 0.45 * x);
    const double z = c.depth * (0.8 * x + 0.35 * std::sin(2.0 * u + 0.6)) +
                     (c.depth != 0.0 ? 0.5 * (window - 0.3) * std::fabs(c.depth) : 0.0);
    return Row{x, y, z};
}

}  // namespace

void emit_contour_shaped(Table& table) {
    constexpr int kPeriod = 1024;
    for (std::size_t i = 0; i < std::size(kContours); ++i) {
        const Contour& c = kContours[i];
        table.push_back({
            "contour_shaped_" + paths::two_digits(static_cast<int>(i + 1)),
            "Signed-power oval edges with local ripples and an asymmetric bow.",
            kPeriod,
            c.depth != 0.0 ? 3 : 2,
            sample_scaled_curve(kPeriod, kPeriod, 0.82,
                                [&](double t) { return contour_point(c, t); }),
        });
    }
}

}  // namespace gen
