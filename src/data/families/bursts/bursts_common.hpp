// Pieces shared by the score-driven families accent_walk_, triplet_, dialogue_
// and burst_: lanes of gestures whose widths follow the spacing of the score,
// and the assembly of three lanes into rows.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "gen_support.hpp"

namespace gen::bursts {

// One axis of a pattern, sampled at every pip of the period.
using Lane = std::vector<double>;

// Renders a score on one axis. Each onset becomes a raised-cosine gesture whose
// half-width is `reach` (at most 1) times the distance to its nearest neighbour
// on the same lane, measured around the loop, and never wider than `widest`.
// No gesture reaches a neighbouring onset, so every onset peaks at its own pip
// with exactly accent * side there, and the lane never exceeds the largest
// |accent * side| of the score.
inline Lane render_spaced_lane(const std::vector<Onset>& score, double reach, double widest,
                               int period) {
    const double loop = static_cast<double>(period);
    std::vector<double> half_widths(score.size(), widest);
    for (std::size_t i = 0; i < score.size(); ++i) {
        double nearest = loop;
        for (std::size_t j = 0; j < score.size(); ++j) {
            if (j == i) continue;
            const double d = std::fabs(cyclic_delta(score[i].pip, score[j].pip, loop));
            nearest = std::min(nearest, d);
        }
        half_widths[i] = std::min(widest, reach * nearest);
    }
    Lane lane(static_cast<std::size_t>(period), 0.0);
    for (int p = 0; p < period; ++p) {
        double sum = 0.0;
        for (std::size_t i = 0; i < score.size(); ++i) {
            sum += score[i].accent * score[i].side *
                   bump(static_cast<double>(p), score[i].pip, half_widths[i], loop);
        }
        lane[static_cast<std::size_t>(p)] = sum;
    }
    return lane;
}

}  // namespace gen::bursts
