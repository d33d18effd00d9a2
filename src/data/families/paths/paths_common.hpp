// Small pieces shared by the path families (contour_shaped_, scan_, reach_,
// arm_coupled_, dwell_phrase_): interpolation, a signed power, member
// numbers, scaling, and a loop laid out as consecutive timed segments.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "gen_support.hpp"

namespace gen::paths {

// a + (b - a) s, exact at s = 0 (a itself) and whenever a equals b.
inline Row lerp(const Row& a, const Row& b, double s) {
    return {(b.x - a.x) * s + a.x, (b.y - a.y) * s + a.y, (b.z - a.z) * s + a.z};
}

// A member number written with two digits: 1 -> "01".
inline std::string two_digits(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", number);
    return text;
}

// sign(c) |c|^p, softened by `soft` around zero so that exponents below one
// keep a finite slope where c changes sign.
inline double signed_power(double c, double p, double soft) {
    return c * std::pow(c * c + soft * soft, 0.5 * (p - 1.0));
}

// One timed piece of a loop: `pips` long, drawing `at(s)` for s from 0 to 1.
struct Segment {
    double pips;
    std::function<Row(double s)> at;
};

// A motion that stays at `where` for `pips`.
inline Segment hold(double pips, const Row& where) {
    return {pips, [where](double) { return where; }};
}

// Eased move from a to b (halting at both ends), with `arc` added in the
// middle of the move (weighted by sin(pi u) of the eased progress u).
inline Segment move(double pips, const Row& a, const Row& b, const Row& arc = {}) {
    return {pips, [a, b, arc](double s) {
                const double u = smoothstep(s);
                return lerp(a, b, u) + std::sin(kPi * u) * arc;
            }};
}

// Lays the segments end to end (their lengths must add up to the period) and
// samples them at every pip; `start` is the position along the laid-out loop
// at which pip 0 falls, so a loop can begin part-way through a segment.
inline Rows play_segments(const std::vector<Segment>& segments, int period, double start = 0.0) {
    Rows rows(static_cast<std::size_t>(period));
    for (int p = 0; p < period; ++p) {
        double at = std::fmod(start + p, static_cast<double>(period));
        std::size_t i = 0;
        while (i + 1 < segments.size() && at >= segments[i].pips) {
            at -= segments[i].pips;
            ++i;
        }
        rows[static_cast<std::size_t>(p)] = segments[i].at(std::min(at / segments[i].pips, 1.0));
    }
    return rows;
}

// Scales rows about the origin so that the largest absolute coordinate
// becomes `target`.
inline void scale_rows(Rows& rows, double target) {
    double largest = 0.0;
    for (const Row& r : rows) {
        largest = std::max({largest, std::fabs(r.x), std::fabs(r.y), std::fabs(r.z)});
    }
    for (Row& r : rows) r = (target / largest) * r;
}

}  // namespace gen::paths
