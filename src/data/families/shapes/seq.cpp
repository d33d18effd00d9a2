// seq_: a step sequencer driving a point. Eight programmed target positions
// are each held and then glide, with a smoothstep, to the next target. `even`
// gives every segment one beat, held for its first half; `lilt` alternates long
// and short segments, two to one over each pair of beats, with every glide
// taking the same 24 pips, so the departures themselves fall long-short.
#include <cmath>
#include <string>
#include <vector>

#include "families.hpp"

namespace gen {
namespace {

struct Shape {
    const char* name;
    std::vector<Row> targets;  // eight (x, y) positions, played in order
    Row (*place)(const Row&) = nullptr;  // maps eased targets onto the plane
};

// Targets given as a swing angle in x: a bob on a rod of length 1.1 hanging
// from (0, 0.7), so the glides between stops follow the arc.
Row on_pendulum(const Row& swing) {
    return {1.1 * std::sin(swing.x), 0.7 - 1.1 * std::cos(swing.x), 0.0};
}

// One step of the sequence: its length in pips and the glide that ends it.
struct Segment {
    double length;
    double glide;
};

// Both timings fill the eight-beat loop.
std::vector<Segment> segments(bool lilt, std::size_t count) {
    constexpr double kPair = 2.0 * kPipsPerBeat;
    std::vector<Segment> timing;
    for (std::size_t i = 0; i < count; ++i) {
        if (!lilt) {
            timing.push_back({64.0, 32.0});
        } else {
            timing.push_back({i % 2 == 0 ? 2.0 * kPair / 3.0 : kPair / 3.0, 24.0});
        }
    }
    return timing;
}

Rows play(const Shape& shape, const std::vector<Segment>& timing, int period) {
    const std::vector<Row>& targets = shape.targets;
    std::vector<Key> keys;
    double start = 0.0;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        keys.push_back({start, targets[i]});
        keys.push_back({start + timing[i].length - timing[i].glide, targets[i]});
        start += timing[i].length;
    }
    Rows rows = keyframe_path(keys, period);
    if (shape.place != nullptr) {
        for (Row& r : rows) r = shape.place(r);
    }
    return rows;
}

}  // namespace

void emit_seq(Table& table) {
    const std::vector<Shape> shapes = {
        // A scale that climbs four steps and comes back down, leaning to
        // alternate sides on every step.
        {"up_down",
         {{-0.3, -0.65}, {0.3, -0.25}, {-0.3, 0.15}, {0.3, 0.55}, {-0.3, 0.85}, {0.3, 0.5},
          {-0.3, 0.1}, {0.3, -0.3}}},
        // Stops along a pendulum's arc: high at both ends, lowest in the middle.
        {"pendulum",
         {{-0.78}, {-0.4}, {0.0}, {0.4}, {0.78}, {0.4}, {0.0}, {-0.4}},
         on_pendulum},
        // Every step jumps between a low and a high register, walking out and back.
        {"octave",
         {{-0.6, -0.5}, {-0.3, 0.42}, {0.0, -0.38}, {0.3, 0.55}, {0.6, -0.45}, {0.3, 0.48},
          {0.0, -0.32}, {-0.3, 0.6}}},
        // Uneven leaps and small nudges, no two steps alike.
        {"unequal",
         {{-0.7, -0.2}, {-0.55, 0.1}, {0.1, 0.68}, {0.22, 0.5}, {0.78, -0.3}, {0.3, -0.72},
          {0.14, -0.55}, {-0.42, 0.3}}},
        // A phrase that wanders and ends on its highest, outermost step.
        {"question",
         {{-0.5, -0.3}, {-0.2, -0.1}, {0.1, -0.38}, {0.3, 0.0}, {0.0, 0.2}, {0.35, 0.38},
          {0.55, 0.62}, {0.72, 0.9}}},
        // Starts high and steps down to settle on a centred home below.
        {"answer",
         {{0.6, 0.7}, {0.3, 0.45}, {0.5, 0.2}, {0.1, 0.3}, {-0.25, 0.0}, {0.05, -0.22},
          {-0.2, -0.45}, {0.0, -0.62}}},
        // Advances up in clicks, each followed by a small slip back.
        {"ratchet",
         {{-0.2, -0.7}, {0.2, -0.3}, {-0.1, -0.45}, {0.2, -0.05}, {-0.1, -0.2}, {0.2, 0.2},
          {-0.1, 0.05}, {0.2, 0.7}}},
        // Alternate horizontal and vertical moves climb a staircase.
        {"stairs",
         {{-0.7, -0.7}, {-0.35, -0.7}, {-0.35, -0.3}, {0.0, -0.3}, {0.0, 0.1}, {0.35, 0.1},
          {0.35, 0.5}, {0.7, 0.5}}},
    };
    constexpr int kPeriod = 512;
    for (const Shape& s : shapes) {
        for (const bool lilt : {false, true}) {
            const std::string timing = lilt ? "lilt" : "even";
            table.push_back({
                std::string("seq_") + s.name + "_" + timing,
                "A programmed position sequence with " + timing +
                    " segment durations and softened transitions.",
                kPeriod,
                2,
                play(s, segments(lilt, s.targets.size()), kPeriod),
            });
        }
    }
}

}  // namespace gen
