// ease_: easing curves turned into closed loops. The point leaves rest with the
// easing, holds at its target, comes home with the same easing aimed at the
// origin, and rests until the loop starts again.
#include <algorithm>
#include <cmath>

#include "families.hpp"

namespace gen {
namespace {

// Timing of a loop, in pips of a 256-pip period: the ends of the outward leg,
// of the hold at the target and of the return leg; the point then rests at
// the origin until the loop starts again.
struct Timing {
    double out_end;
    double hold_end;
    double return_end;
};

// Equal legs.
constexpr Timing kEvenLegs = {112.0, 128.0, 240.0};
// A long wind-up and a quick release: anticipation takes its time going out.
constexpr Timing kWindUp = {144.0, 160.0, 240.0};

// easing(s) runs from 0 at s = 0 to 1 at s = 1; the loop goes out to
// `target` with it and back to 0 with 1 - easing.
template <typename Easing>
Rows out_and_return(int period, double target, Easing easing, Timing timing = kEvenLegs) {
    const double q = period / 256.0;
    Rows rows(static_cast<std::size_t>(period));
    for (int p = 0; p < period; ++p) {
        double x = 0.0;
        if (p <= timing.out_end * q) {
            x = target * easing(p / (timing.out_end * q));
        } else if (p <= timing.hold_end * q) {
            x = target;
        } else if (p <= timing.return_end * q) {
            const double leg = (timing.return_end - timing.hold_end) * q;
            x = target * (1.0 - easing((p - timing.hold_end * q) / leg));
        }
        rows[static_cast<std::size_t>(p)].x = x;
    }
    return rows;
}

// The tension of the usual back easings: a 10 % excursion.
constexpr double kBack = 1.70158;

// Starts backwards, then accelerates into the target.
double back_in(double s) { return s * s * ((kBack + 1.0) * s - kBack); }

// Leaves fast, sails past the target and settles back onto it.
double back_out(double s) { return 1.0 - back_in(1.0 - s); }

// A ball dropped onto the target: arrival at s = 4/11, then bounces of a
// quarter, a sixteenth and a sixty-fourth of the drop.
double bounce_out(double s) {
    constexpr double kFirst = 4.0 / 11.0;
    constexpr double kGain = 1.0 / (kFirst * kFirst);
    if (s < kFirst) return kGain * s * s;
    if (s < 8.0 / 11.0) {
        const double d = s - 6.0 / 11.0;
        return kGain * d * d + 3.0 / 4.0;
    }
    if (s < 10.0 / 11.0) {
        const double d = s - 9.0 / 11.0;
        return kGain * d * d + 15.0 / 16.0;
    }
    const double d = s - 21.0 / 22.0;
    return kGain * d * d + 63.0 / 64.0;
}

// A spring released towards the target: a cosine of three cycles decaying as
// exp(-2.5 s), windowed by (1 - s)^2 so it comes to rest exactly
// on the target at s = 1.
double windowed_spring(double s) {
    const double window = (1.0 - s) * (1.0 - s);
    return 1.0 - std::exp(-2.5 * s) * std::cos(kTwoPi * 3.0 * s) * window;
}

}  // namespace

Rows ease_rebound(int period) { return out_and_return(period, 0.8, bounce_out); }

Rows ease_anticipate(int period) { return out_and_return(period, 0.8, back_in, kWindUp); }

Rows ease_overshoot(int period) { return out_and_return(period, 0.8, back_out); }

Rows ease_elastic(int period) {
    // Scaled so that the first overshoot, the highest point of the loop, is 0.8.
    Rows rows = out_and_return(period, 1.0, windowed_spring);
    double peak = 0.0;
    for (const Row& r : rows) peak = std::max(peak, r.x);
    for (Row& r : rows) r.x *= 0.8 / peak;
    return rows;
}

}  // namespace gen
