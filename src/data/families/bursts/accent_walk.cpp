// accent_walk_: four bars of n evenly spaced vertical pulses, the same grid in
// every bar, while a pair of accents k pulses apart walks one bar-length around
// the grid over the four bars, leaning sideways and pushing through depth.
#include <string>
#include <vector>

#include "families.hpp"
#include "bursts_common.hpp"

namespace gen {
namespace {

constexpr int kBars = 4;
constexpr int kBarPips = 256;
constexpr int kPeriod = kBars * kBarPips;

// Pip of pulse i of n within a bar: i * 256 / n rounded to the nearest pip, so
// every bar carries the same spacing.
int pulse_offset(int i, int n) { return (2 * kBarPips * i + n) / (2 * n); }

// Pulse of bar b on which the motif starts: b * n / 4 rounded, so that after
// four bars the motif has walked once round the bar and the loop closes.
int motif_start(int bar, int n) { return (bar * n + 2) / 4; }

Rows accent_walk(int n, int k) {
    std::vector<Onset> pulses;  // y: the grid, accented pulses taller
    std::vector<Onset> lean;    // x: the motif leans one way, then the other
    std::vector<Onset> depth;   // z: the motif pushes forward, then draws back
    for (int bar = 0; bar < kBars; ++bar) {
        const int first = motif_start(bar, n);
        const int second = (first + k) % n;
        const double side = bar % 2 == 0 ? 1.0 : -1.0;  // the lean alternates by bar
        for (int i = 0; i < n; ++i) {
            const double pip = bar * kBarPips + pulse_offset(i, n);
            if (i == first) {
                pulses.push_back({pip, 1.0, 0.95});
                lean.push_back({pip, side, 0.85});
                depth.push_back({pip, 1.0, 0.7});
            } else if (i == second) {
                pulses.push_back({pip, 1.0, 0.75});
                lean.push_back({pip, -side, 0.6});
                depth.push_back({pip, -1.0, 0.5});
            } else {
                pulses.push_back({pip, 1.0, 0.3});
            }
        }
    }
    return rows_from_lanes(kPeriod, bursts::render_spaced_lane(lean, 0.8, 48.0, kPeriod),
                              bursts::render_spaced_lane(pulses, 0.6, 48.0, kPeriod),
                              bursts::render_spaced_lane(depth, 0.8, 48.0, kPeriod));
}

}  // namespace

void emit_accent_walk(Table& table) {
    static constexpr struct {
        int pulses;
        int apart;
    } kWalks[] = {{5, 1},  {5, 2},  {7, 1},  {7, 2},  {7, 3},  {8, 1},  {8, 3},  {9, 1},
                  {9, 2},  {9, 4},  {10, 3}, {11, 2}, {11, 3}, {12, 5}, {13, 3}, {13, 5}};
    for (const auto& w : kWalks) {
        table.push_back({
            "accent_walk_" + std::to_string(w.pulses) + "_" + std::to_string(w.apart),
            "A four-bar grid keeps its pulse spacing while a two-accent motif migrates between "
            "bars.",
            kPeriod,
            3,
            accent_walk(w.pulses, w.apart),
        });
    }
}

}  // namespace gen
