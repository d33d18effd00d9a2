// contour_shaped_: an oval whose edges follow signed powers of cosine and sine
// (boxy for exponents below one, pinched above), bent by a lopsided bow, with a
// patch of ripples: a counted few crests standing out from one stretch of the
// edge. The pace evens out the rush along boxy sides while still easing into
// pinched tips, and the ripples are evenly spaced in time.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "families.hpp"
#include "paths_common.hpp"

namespace gen {
namespace {

struct Contour {
    double power;        // edge exponent: < 1 boxy, > 1 pinched
    double aspect;       // height of the oval against its width
    int ripples;         // crests in the rippled patch
    double ripple_at;    // centre of the patch, as an angle round the oval: mid-side
                         // on boxy outlines, between two tips on pinched ones
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

// The rippled patch covers this share of the way round, its edges fading
// over the outer third of it on either side.
constexpr double kPatchShare = 0.24;
// Crest height, out from the outline (before the whole figure is scaled).
constexpr double kRippleSize = 0.08;
// The loop starts a little past the right-hand end of the oval.
constexpr double kStartAngle = 0.35;

// The oval at angle u, bow included, before any ripple.
Row bowed_oval(const Contour& c, double u) {
    const double x = paths::signed_power(std::cos(u), c.power, 0.06);
    double y = c.aspect * paths::signed_power(std::sin(u), c.power, 0.06);
    // The bow lifts (or drops) both ends of the oval, more on the right.
    y += 1.3 * c.bow * (x * x - 0.4) * (1.0 + 0.45 * x);
    return {x, y, 0.0};
}

// The pace round the oval. Stepping the angle u evenly makes the point rush
// where the outline stretches fastest with u (the middles of boxy sides) and
// crawl where it barely moves (pinched tips); going at an even pace would hit
// those tips at full speed. Taking the square root of the stretch keeps a
// gentle slowing into tips and corners and evens out the rush. The table holds
// the share of the loop's time used up at fine steps of u.
class Pace {
   public:
    explicit Pace(const Contour& c) {
        Row before = bowed_oval(c, kStartAngle);
        travelled_.push_back(0.0);
        for (int i = 1; i <= kSteps; ++i) {
            const Row at = bowed_oval(c, kStartAngle + kTwoPi * i / kSteps);
            const double stretch = std::hypot(at.x - before.x, at.y - before.y);
            travelled_.push_back(travelled_.back() + std::sqrt(stretch));
            before = at;
        }
        for (double& d : travelled_) d /= travelled_.back();
    }

    // The angle u reached after `share` (in [0, 1]) of the loop's time.
    double angle(double share) const {
        const auto above = std::upper_bound(travelled_.begin(), travelled_.end(), share);
        const auto i = static_cast<std::size_t>(
            std::clamp<std::ptrdiff_t>(above - travelled_.begin(), 1, kSteps));
        const double from = travelled_[i - 1], to = travelled_[i];
        const double within = to > from ? (share - from) / (to - from) : 0.0;
        return kStartAngle + kTwoPi * (static_cast<double>(i - 1) + within) / kSteps;
    }

    // The share of the loop's time at which angle u is reached.
    double share(double u) const {
        const double turns = std::fmod(u - kStartAngle, kTwoPi);
        const double steps = (turns < 0.0 ? turns + kTwoPi : turns) / kTwoPi * kSteps;
        const auto i = std::min(static_cast<std::size_t>(steps), std::size_t{kSteps - 1});
        const double within = steps - static_cast<double>(i);
        return travelled_[i] + within * (travelled_[i + 1] - travelled_[i]);
    }

   private:
    static constexpr int kSteps = 8192;
    std::vector<double> travelled_;
};

Row contour_point(const Contour& c, const Pace& pace, double t) {
    const double share = t / kTwoPi;
    const double u = pace.angle(share);
    Row edge = bowed_oval(c, u);
    // `ripples` whole waves across the patch, each crest in the middle of its
    // own equal share of it, at full size in the middle of the patch and
    // fading to nothing at its edges; they push the edge along its outward
    // normal, so they stand square to the outline whatever its shape.
    const double half = 0.5 * kPatchShare;
    const double offset = std::remainder(share - pace.share(c.ripple_at), 1.0);
    const double window =
        smoothstep(std::clamp((half - std::fabs(offset)) / (half / 3.0), 0.0, 1.0));
    if (window > 0.0) {
        constexpr double kDu = 1e-4;
        const Row ahead = bowed_oval(c, u + kDu), behind = bowed_oval(c, u - kDu);
        const double tx = ahead.x - behind.x, ty = ahead.y - behind.y;
        const double wave = std::cos(kPi * c.ripples * (offset / half + 1.0) - kPi);
        const double push = kRippleSize * window * wave / std::hypot(tx, ty);
        // The loop runs anticlockwise, so the outward normal is the tangent
        // turned clockwise.
        edge.x += push * ty;
        edge.y -= push * tx;
    }
    // Depth: a tilt that follows x, a twice-round sway, and a broad lift
    // (or dip) about the rippled patch.
    const double lift = std::pow(0.5 + 0.5 * std::cos(u - c.ripple_at), 6.0);
    edge.z = c.depth * (0.8 * edge.x + 0.35 * std::sin(2.0 * u + 0.6)) +
             (c.depth != 0.0 ? 0.5 * (lift - 0.3) * std::fabs(c.depth) : 0.0);
    return edge;
}

}  // namespace

void emit_contour_shaped(Table& table) {
    constexpr int kPeriod = 1024;
    for (std::size_t i = 0; i < std::size(kContours); ++i) {
        const Contour& c = kContours[i];
        const Pace pace(c);
        table.push_back({
            "contour_shaped_" + paths::two_digits(static_cast<int>(i + 1)),
            "Signed-power oval edges with local ripples and an asymmetric bow.",
            kPeriod,
            c.depth != 0.0 ? 3 : 2,
            sample_scaled_curve(kPeriod, kPeriod, 0.82,
                                [&](double t) { return contour_point(c, pace, t); }),
        });
    }
}

}  // namespace gen
