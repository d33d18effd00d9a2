// Pieces shared by the beat motions dive to ricochet: swells that leave at a
// hit and fade, the sides they swing to (alternating, or round a cycle that
// every hit moves on), and a phase that runs faster where the score is dense.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "beat_common.hpp"

namespace gen::beat {

// Value of a swell `d` pips after its hit: a raised cosine that climbs from 0
// at the hit to 1 after `rise` pips and falls back to 0 over `fall` pips.
inline double swell_at(double d, double rise, double fall) {
    if (d <= 0.0 || d >= rise + fall) return 0.0;
    const double w = d < rise ? (rise - d) / rise : (d - rise) / fall;
    return 0.5 * (1.0 + std::cos(kPi * w));
}

// One swell per hit, scaled by the hit's weight times `side(i)` for the i-th
// hit, summed around the loop: a swell that outlasts the loop's end goes on in
// its start, so the loop is a steady state.
template <typename Side>
Track swells_after(const std::vector<Hit>& hits, int period, double rise, double fall,
                   Side side) {
    Track lane(static_cast<std::size_t>(period), 0.0);
    const int span = static_cast<int>(std::ceil(rise + fall));
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const double size = hits[i].weight * side(i);
        for (int d = 1; d < span; ++d) {
            lane[static_cast<std::size_t>((hits[i].pip + d) % period)] +=
                size * swell_at(d, rise, fall);
        }
    }
    return lane;
}

inline Track swells_after(const std::vector<Hit>& hits, int period, double rise, double fall) {
    return swells_after(hits, period, rise, fall, [](std::size_t) { return 1.0; });
}

// Sides for a lane of detail: every full hit (normal or accent) swings to the
// side opposite the last full hit, and a ghost note echoes that last side.
inline auto full_hits_alternate(const std::vector<Hit>& hits) {
    std::vector<double> sides(hits.size());
    double side = -1.0;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        if (hits[i].weight > kGhost) side = -side;
        sides[i] = side;
    }
    return [sides](std::size_t i) { return sides[i]; };
}

// Swells of every lane of the score added together, the sides of each lane's
// swells given by `sides_of(lane hits)`: unlike a merged role, two lanes that
// sound on one pip (a bass doubling a hat) both count.
template <typename SidesOf>
Track layered_swells_after(const Groove& groove, int period, double rise, double fall,
                           SidesOf sides_of) {
    Track sum(static_cast<std::size_t>(period), 0.0);
    for (const Lane& lane : groove.lanes) {
        const Track one = swells_after(lane.hits, period, rise, fall, sides_of(lane.hits));
        for (std::size_t p = 0; p < sum.size(); ++p) sum[p] += one[p];
    }
    return sum;
}

inline Track layered_swells_after(const Groove& groove, int period, double rise, double fall) {
    return layered_swells_after(groove, period, rise, fall, [](const std::vector<Hit>&) {
        return [](std::size_t) { return 1.0; };
    });
}

// How far a hit moves a cyclic series on: a ghost note one step, a normal hit
// two, an accent three.
inline std::size_t leap(double weight) {
    if (weight >= kAccent) return 3;
    return weight >= kNormal ? 2 : 1;
}

// Sides that walk round a cycle of seven, cos(2 pi k / 7), each hit moving k on
// by its leap: one hit more or less anywhere turns every later side.
inline auto cycling_sides(const std::vector<Hit>& hits) {
    std::vector<double> sides(hits.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        k = (k + leap(hits[i].weight)) % 7;
        sides[i] = std::cos(kTwoPi * static_cast<double>(k) / 7.0);
    }
    return [sides](std::size_t i) { return sides[i]; };
}

// Detail from every lane: within each lane, full hits swell to alternate sides
// and ghost notes echo the last side (see full_hits_alternate).
inline Track alternating_detail(const Groove& groove, int period, double rise, double fall) {
    return layered_swells_after(groove, period, rise, fall, [](const std::vector<Hit>& lane) {
        return full_hits_alternate(lane);
    });
}

// How fast a paced motion runs at each pip: `calm` everywhere, plus the
// weight of every hit spread over `width` pips around it.
inline Track hit_rate(const std::vector<Hit>& hits, int period, double calm, double width) {
    Track rate(static_cast<std::size_t>(period), calm);
    const int reach = static_cast<int>(std::ceil(width));
    const double loop = static_cast<double>(period);
    for (const Hit& h : hits) {
        for (int d = -reach; d <= reach; ++d) {
            const int p = ((h.pip + d) % period + period) % period;
            rate[static_cast<std::size_t>(p)] +=
                h.weight * bump(static_cast<double>(h.pip + d), h.pip, width, loop) / width;
        }
    }
    return rate;
}

// A phase in [0, 1) that starts at 0 on pip 0 and returns to 1 exactly at the
// loop's end, advancing at `calm` per pip plus the weights of the hits spread
// over `width` pips around each: faster where the score is dense and strong.
inline Track score_phase(const std::vector<Hit>& hits, int period, double calm, double width) {
    const Track rate = hit_rate(hits, period, calm, width);
    Track phase(static_cast<std::size_t>(period), 0.0);
    double total = 0.0;
    for (double r : rate) total += r;
    double run = 0.0;
    for (std::size_t p = 0; p < phase.size(); ++p) {
        phase[p] = run / total;
        run += rate[p];
    }
    return phase;
}

// Merges two scores into one in pip order; where both hit one pip the
// stronger hit stands.
inline std::vector<Hit> merge_hits(const std::vector<Hit>& a, const std::vector<Hit>& b) {
    std::vector<Hit> out;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() || j < b.size()) {
        if (j == b.size() || (i < a.size() && a[i].pip < b[j].pip)) {
            out.push_back(a[i++]);
        } else if (i == a.size() || b[j].pip < a[i].pip) {
            out.push_back(b[j++]);
        } else {
            out.push_back({a[i].pip, std::max(a[i].weight, b[j].weight)});
            ++i;
            ++j;
        }
    }
    return out;
}

}  // namespace gen::beat
