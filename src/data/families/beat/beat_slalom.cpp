// Drum slalom: side to side along an S, the gates on the backbeat (for a bare
// kick pulse every second kick): on every full backbeat hit the point cuts
// back and runs to the other side, rising and dipping through each run and
// drawing depth counter to it, and it hurries through the busy part of a run.
// A loop with an odd number of gates turns once more halfway through its
// longest run, so that the sides keep alternating round the seam. Kicks lift
// it off the S, ghost notes on the backbeat tap it down and back, low notes
// draw depth back and hits flick it.
#include "beat_shaping.hpp"

namespace gen::beat {

Rows beat_slalom(const BeatInput& in) {
    constexpr double kRounding = 0.97;
    const int period = in.period;
    // The gates: the full backbeat hits, at least a gate's width apart.
    constexpr int kGateWidth = 12;
    std::vector<int> gates;
    for (const Hit& h : backbeat_or_answer(in.roles)) {
        if (h.weight <= kGhost) continue;
        if (!gates.empty() && h.pip - gates.back() < kGateWidth) continue;
        gates.push_back(h.pip);
    }
    if (gates.size() > 1 && pips_until(gates.back(), gates.front(), period) < kGateWidth) {
        gates.pop_back();
    }
    if (gates.empty()) gates.push_back(0);
    if (gates.size() % 2 == 1) {
        std::size_t longest = 0;
        int gap = 0;
        for (std::size_t i = 0; i < gates.size(); ++i) {
            const int g = gates.size() == 1 ? period : pips_until(gates[i], gates[(i + 1) % gates.size()], period);
            if (g > gap) gap = g, longest = i;
        }
        gates.push_back((gates[longest] + gap / 2) % period);
        std::sort(gates.begin(), gates.end());
    }
    const Track pace = pace_between(gates, in.roles.all, period, 0.05, 24.0);
    const Track lift = swells_after(in.roles.kick, period, 8.0, 32.0);
    const Track flick = alternating_detail(in.groove, period, 6.0, 12.0);
    const Track draw = swells_after(in.roles.bass, period, 8.0, 28.0);
    // Ghost notes of the backbeat are no gates: they tap the point down and
    // back.
    std::vector<Hit> ghosts;
    for (const Hit& h : backbeat_or_answer(in.roles)) {
        if (h.weight <= kGhost) ghosts.push_back({h.pip, kAccent});
    }
    const Track tap = swells_after(ghosts, period, 5.0, 16.0);
    Track x(pace.size());
    Track y(pace.size());
    Track z(pace.size());
    for (std::size_t p = 0; p < pace.size(); ++p) {
        // -1 at the gates of even count, +1 at the others: a steady run with
        // a sharp, rounded turn at each gate.
        const double run = -std::asin(kRounding * std::cos(kPi * pace[p])) / std::asin(kRounding);
        x[p] = 0.66 * run + 0.05 * soft_limit(flick[p], 1.0);
        y[p] = 0.26 * std::sin(kTwoPi * pace[p]) - 0.15 + 0.45 * soft_limit(lift[p], 1.0) -
               0.2 * soft_limit(tap[p], 1.0);
        z[p] = -0.36 * std::sin(kPi * pace[p]) + 0.3 * soft_limit(flick[p], 1.0) -
               0.22 * soft_limit(draw[p], 1.0) - 0.2 * soft_limit(tap[p], 1.0);
    }
    return beat_rows(in.dimensions, x, tamed(y), tamed(z));
}

}  // namespace gen::beat
