// burst_: three bursts of fading pushes, mainly to the right, upwards and
// forwards, each cut into a different number of gestures and followed by most
// of a beat of stillness; late in the phrase one wide accent sinks down and
// back and lets the point settle before the loop begins again.
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "families.hpp"
#include "bursts_common.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 512;
// A burst lasts a beat and a quarter, longer when it holds more than five
// gestures: each push out and back turns the point twice, and more than four
// pushes a beat would turn it more than eight times a beat, a buzz.
constexpr int kBurstPips = 80;
constexpr int kFewestPipsPerGesture = 16;

// The way each burst pushes: mainly right, mainly up, mainly forward, each
// with a little of the other axes.
constexpr Row kDirections[] = {{1.0, 0.3, 0.2}, {-0.3, 1.0, 0.25}, {0.25, -0.3, 1.0}};

// The settling accent, on the last sixteenth of the seventh beat: wide, sinking
// down and back, a little to the right, and at rest again before the loop
// starts over.
constexpr double kSettlePip = 432.0;
constexpr double kSettleWidth = 36.0;
// The bursts and the equal gaps after each of them fill the phrase up to the
// settling accent's rise.
constexpr int kBurstsEnd = static_cast<int>(kSettlePip - kSettleWidth);

int burst_pips(int count) { return std::max(kBurstPips, kFewestPipsPerGesture * count); }
constexpr Row kSettle = {0.35, -0.7, -0.4};

void add_gestures(Rows& rows, const std::vector<Onset>& score, double reach, double widest,
                  const Row& direction) {
    const bursts::Lane lane = bursts::render_spaced_lane(score, reach, widest, kPeriod);
    for (std::size_t p = 0; p < rows.size(); ++p) {
        rows[p].x += direction.x * lane[p];
        rows[p].y += direction.y * lane[p];
        rows[p].z += direction.z * lane[p];
    }
}

Rows burst(const int (&counts)[3]) {
    Rows rows(static_cast<std::size_t>(kPeriod));
    const int gap = (kBurstsEnd - burst_pips(counts[0]) - burst_pips(counts[1]) - burst_pips(counts[2])) / 3;
    int start = 0;
    for (int b = 0; b < 3; ++b) {
        const int count = counts[b];
        const int length = burst_pips(count);
        std::vector<Onset> score;
        for (int i = 0; i < count; ++i) {
            // Gestures evenly cut from the burst, on whole pips, fading out.
            const int offset = (2 * length * i + count) / (2 * count);
            const double fade = static_cast<double>(i) / static_cast<double>(count - 1);
            score.push_back({static_cast<double>(start + offset), 1.0, 0.95 - 0.45 * fade});
        }
        add_gestures(rows, score, 0.7, kBurstPips, kDirections[b]);
        start += length + gap;
    }
    add_gestures(rows, {{kSettlePip, 1.0, 1.0}}, 1.0, kSettleWidth, kSettle);
    return rows;
}

}  // namespace

void emit_burst(Table& table) {
    static constexpr int kCounts[][3] = {{3, 5, 2}, {4, 3, 6}, {5, 2, 4}, {2, 7, 3},
                                         {3, 4, 5}, {5, 3, 7}, {6, 2, 5}, {4, 7, 2},
                                         {7, 3, 4}, {2, 5, 6}, {5, 7, 3}, {3, 6, 4},
                                         {4, 5, 7}, {6, 3, 5}, {7, 4, 3}, {5, 6, 2}};
    for (const auto& c : kCounts) {
        table.push_back({
            "burst_" + std::to_string(c[0]) + "_" + std::to_string(c[1]) + "_" +
                std::to_string(c[2]),
            "Three unevenly subdivided directional bursts, deliberate gaps and a late settling "
            "accent.",
            kPeriod,
            3,
            burst(c),
        });
    }
}

}  // namespace gen
