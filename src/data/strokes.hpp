// Strokes on lanes, shared by the score-driven families of families/rhythm and
// the beat family's bounce: every stroke is a raised-cosine gesture that peaks
// on its own pip and reaches no further than its neighbours.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "gen_support.hpp"

namespace gen::strokes {

// One gesture on one lane: it peaks at `pip` (fractional pips allowed) with the
// signed `value` (side times accent). `rise` and `fall` are the widest lead-in
// and release the gesture may take, in pips; neighbours can shorten them.
struct Stroke {
    double pip = 0.0;
    double value = 0.0;
    double rise = 16.0;
    double fall = 16.0;
};

using Lane = std::vector<Stroke>;

// Renders a lane at every pip of the loop. Each stroke's lead-in is cut to the
// gap from the previous stroke and its release to the gap to the next one, so
// no other gesture is alive at a stroke's own pip: the lane there is exactly
// the stroke's value, and between two strokes the two tails never add up to
// more than the larger peak. Between strokes on the same side the reach is
// further cut to `same_side_reach` of the gap, so the lane dips between them
// and each stroke stays a peak of its own.
inline std::vector<double> render_lane(Lane lane, int period, double same_side_reach = 0.8) {
    const double loop = static_cast<double>(period);
    std::vector<double> out(static_cast<std::size_t>(period), 0.0);
    if (lane.empty()) return out;
    for (Stroke& s : lane) {
        s.pip = std::fmod(s.pip, loop);
        if (s.pip < 0.0) s.pip += loop;
    }
    std::sort(lane.begin(), lane.end(),
              [](const Stroke& a, const Stroke& b) { return a.pip < b.pip; });
    const std::size_t n = lane.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Stroke& s = lane[i];
        const Stroke& prev = lane[(i + n - 1) % n];
        const Stroke& next = lane[(i + 1) % n];
        // Gaps around the loop; a lone stroke has the whole loop to itself,
        // though a gesture can only span half of it in each direction.
        double before = n == 1 ? loop : s.pip - prev.pip;
        double after = n == 1 ? loop : next.pip - s.pip;
        if (before <= 0.0) before += loop;
        if (after <= 0.0) after += loop;
        if (n > 1 && (before >= loop || after >= loop)) {
            throw std::logic_error("two strokes share a pip on one lane");
        }
        const bool same_before = n > 1 && (prev.value > 0.0) == (s.value > 0.0);
        const bool same_after = n > 1 && (next.value > 0.0) == (s.value > 0.0);
        const double rise =
            std::min({s.rise, before * (same_before ? same_side_reach : 1.0), loop / 2.0});
        const double fall =
            std::min({s.fall, after * (same_after ? same_side_reach : 1.0), loop / 2.0});
        for (int p = 0; p < period; ++p) {
            const double b = lopsided_bump(static_cast<double>(p), s.pip, rise, fall, loop);
            if (b != 0.0) out[static_cast<std::size_t>(p)] += s.value * b;
        }
    }
    return out;
}

}  // namespace gen::strokes
