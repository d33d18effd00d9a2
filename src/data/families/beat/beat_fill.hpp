// What sets a bar apart from the groove it belongs to: the hits of its fills,
// so that a motion can answer a fill with a gesture the steady bars never
// make, and a wheel turned by a speed of the caller's own making.
#pragma once

#include <cmath>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "beat_common.hpp"

namespace gen::beat {

// The hits that make the fills of a groove. A bar's score is the set of its
// hits as (lane, pip within the bar, weight); the prevailing bar is the most
// frequent score (the plainest, then the earliest, of those as frequent); a
// fill is a bar that holds hits the prevailing bar lacks and weighs more in
// all. The result holds those added hits of every fill, one per pip (the
// strongest where lanes coincide), in pip order; it is empty for a groove
// whose bars all match.
inline std::vector<Hit> fill_hits(const Groove& groove) {
    using Cell = std::tuple<std::string, int, double>;
    const auto bars = static_cast<std::size_t>(groove.period / 256);
    std::vector<std::set<Cell>> score(bars);
    for (const Lane& lane : groove.lanes) {
        for (const Hit& h : lane.hits) {
            score[static_cast<std::size_t>(h.pip / 256)].insert({lane.name, h.pip % 256, h.weight});
        }
    }
    const auto weight = [](const std::set<Cell>& bar) {
        double sum = 0.0;
        for (const Cell& c : bar) sum += std::get<2>(c);
        return sum;
    };
    std::size_t prevailing = 0;
    std::size_t best_count = 0;
    for (std::size_t b = 0; b < bars; ++b) {
        std::size_t count = 0;
        for (const auto& other : score) count += other == score[b] ? 1 : 0;
        if (count > best_count || (count == best_count && weight(score[b]) < weight(score[prevailing]))) {
            prevailing = b;
            best_count = count;
        }
    }
    std::map<int, double> added;
    for (std::size_t b = 0; b < bars; ++b) {
        if (weight(score[b]) <= weight(score[prevailing])) continue;
        for (const Cell& c : score[b]) {
            if (score[prevailing].count(c) == 1) continue;
            double& w = added[static_cast<int>(b) * 256 + std::get<1>(c)];
            w = std::max(w, std::get<2>(c));
        }
    }
    std::vector<Hit> hits;
    for (const auto& [pip, w] : added) hits.push_back({pip, w});
    return hits;
}

// Sides for the hits of a fill, +1 and -1 in turn from one burst to the
// next: a hit that follows the one before within `together` pips keeps its
// side, so a roll swings one way as a whole instead of shaking.
inline auto burst_sides(const std::vector<Hit>& hits, int period, int together = 32) {
    std::vector<double> sides(hits.size());
    double side = -1.0;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const int gap = i == 0 ? period : hits[i].pip - hits[i - 1].pip;
        if (gap > together) side = -side;
        sides[i] = side;
    }
    return [sides](std::size_t i) { return sides[i]; };
}

// The accented hits of a lane (an open hat among closed ones).
inline std::vector<Hit> accents_of(const std::vector<Hit>& hits) {
    std::vector<Hit> kept;
    for (const Hit& h : hits) {
        if (h.weight >= kAccent) kept.push_back(h);
    }
    return kept;
}

// Like soft_limit, but the identity up to `knee` (below the limit), so that
// only the rare peak beyond it bends toward the limit.
inline double limit_peaks(double value, double knee, double limit) {
    const double size = std::fabs(value);
    if (size <= knee) return value;
    return std::copysign(knee + (limit - knee) * std::tanh((size - knee) / (limit - knee)), value);
}

inline void limit_peaks(Track& track, double knee, double limit) {
    for (double& v : track) v = limit_peaks(v, knee, limit);
}

}  // namespace gen::beat
