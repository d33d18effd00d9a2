// swing_: eight beats of swung scores, every offbeat falling a/b of the way
// through its beat. A push leans into the offbeats, an answer trades sides
// between beat and offbeat, a skip hops on the offbeats, a shuffle brushes in pairs.
#include <string>

#include "../families.hpp"
#include "rhythm_common.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 512;
constexpr int kBeats = 8;

struct Score {
    strokes::Lane x, y, z;
};

// Offbeats push out to alternating sides, up and forward, the ones after
// beats two and four hardest; the beats themselves only settle downward.
Score push_score(double offbeat) {
    Score s;
    for (int k = 0; k < kBeats; ++k) {
        const double beat = kPipsPerBeat * k;
        const double side = k % 2 == 0 ? 1.0 : -1.0;
        const bool backbeat = k % 2 == 1;
        s.x.push_back({beat + offbeat, side * (backbeat ? 0.84 : 0.62), 14.0, 30.0});
        s.z.push_back({beat + offbeat, backbeat ? 0.7 : 0.48, 14.0, 30.0});
        s.y.push_back({beat, k % 4 == 0 ? -0.46 : -0.3, 12.0, 24.0});
        s.y.push_back({beat + offbeat, backbeat ? 0.34 : 0.24, 14.0, 24.0});
    }
    return s;
}

// Each beat calls on the right and its offbeat answers on the left, the
// answers growing through each bar; both lift, the call higher, over a shorter
// span than the sideways swing, so the point arches from side to side.
Score answer_score(double offbeat) {
    Score s;
    for (int k = 0; k < kBeats; ++k) {
        const double beat = kPipsPerBeat * k;
        s.x.push_back({beat, k % 4 == 0 ? 0.9 : 0.72, 14.0, 28.0});
        s.x.push_back({beat + offbeat, -(0.46 + 0.06 * (k % 4)), 14.0, 28.0});
        s.y.push_back({beat, 0.38, 10.0, 16.0});
        s.y.push_back({beat + offbeat, 0.24, 10.0, 16.0});
    }
    return s;
}

// A skipping step: land on the beat on alternating feet, hop up and forward
// on the offbeat; the hop before each bar line is the highest.
Score skip_score(double offbeat) {
    Score s;
    for (int k = 0; k < kBeats; ++k) {
        const double beat = kPipsPerBeat * k;
        const double side = k % 2 == 0 ? 1.0 : -1.0;
        s.x.push_back({beat, side * (k % 4 == 0 ? 0.66 : 0.56), 16.0, 30.0});
        s.y.push_back({beat, -0.3, 10.0, 20.0});
        s.y.push_back({beat + offbeat, k % 4 == 3 ? 0.88 : 0.7, 20.0, 18.0});
        s.z.push_back({beat + offbeat, 0.36, 20.0, 18.0});
    }
    return s;
}

// Brushes in pairs: beat and offbeat on the same side, the beat reaching
// forward and the offbeat drawing back; sides change every beat.
Score shuffle_score(double offbeat) {
    Score s;
    for (int k = 0; k < kBeats; ++k) {
        const double beat = kPipsPerBeat * k;
        const double side = k % 2 == 0 ? 1.0 : -1.0;
        s.x.push_back({beat, side * 0.7, 16.0, 30.0});
        s.x.push_back({beat + offbeat, side * 0.42, 14.0, 20.0});
        s.y.push_back({beat, -0.24, 12.0, 24.0});
        s.y.push_back({beat + offbeat, 0.16, 12.0, 16.0});
        s.z.push_back({beat, 0.48, 16.0, 30.0});
        s.z.push_back({beat + offbeat, -0.36, 14.0, 20.0});
    }
    return s;
}

}  // namespace

void emit_swing(Table& table) {
    static constexpr struct {
        int a;
        int b;
    } kRatios[] = {{3, 5}, {2, 3}, {5, 7}, {3, 4}};
    static constexpr struct {
        const char* name;
        int dimensions;
        Score (*score)(double offbeat);
    } kKinds[] = {{"push", 3, push_score},
                  {"answer", 2, answer_score},
                  {"skip", 3, skip_score},
                  {"shuffle", 3, shuffle_score}};
    for (const auto& ratio : kRatios) {
        const double offbeat = kPipsPerBeat * static_cast<double>(ratio.a) / ratio.b;
        const std::string a = std::to_string(ratio.a);
        const std::string b = std::to_string(ratio.b);
        for (const auto& kind : kKinds) {
            const Score s = kind.score(offbeat);
            table.push_back({
                std::string("swing_") + kind.name + "_" + a + "_" + b,
                std::string("Eight-beat ") + kind.name + " score with offbeats at " + a + "/" + b +
                    " of each beat; peaks follow the score.",
                kPeriod,
                kind.dimensions,
                rows_from_lanes(kPeriod, strokes::render_lane(s.x, kPeriod),
                                 strokes::render_lane(s.y, kPeriod),
                                 strokes::render_lane(s.z, kPeriod)),
            });
        }
    }
}

}  // namespace gen
