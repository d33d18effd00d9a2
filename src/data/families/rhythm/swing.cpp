// swing_: eight-beat swung scores, every offbeat falling a/b of the way
// through its beat; the first four beats call and the last four answer. A push
// leans into the offbeats, an answer trades sides between beat and offbeat, a
// skip hops on the offbeats, a shuffle brushes in pairs.
// Every stroke is short, a sixth of a beat or less each side of its peak, so
// the long-short spacing of beat and offbeat is what the eye follows.
#include <array>
#include <string>

#include "families.hpp"
#include "strokes.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 512;
constexpr int kBeats = 8;
// Lead-in and release of every stroke, in pips; where strokes crowd, the
// lane shortens them to the gap.
constexpr double kRise = 8.0;
constexpr double kFall = 10.0;

// What happens on each beat and on its offbeat, beat by beat: the stroke
// values on x, y and z, where 0 leaves a lane out of that stroke.
struct Score {
    std::array<Row, kBeats> beat;
    std::array<Row, kBeats> offbeat;
};

// Call: the offbeats push out to the right, up and forward, harder every
// beat, while each beat drops back to the left. Answer: the same pushes to the
// left, dying away, the last one drawing back in depth to close the phrase.
constexpr Score kPush = {
    {{{-0.4, -0.52, 0.0}, {-0.3, -0.38, 0.0}, {-0.4, -0.46, 0.0}, {-0.3, -0.38, 0.0},
      {0.4, -0.52, 0.0}, {0.3, -0.38, 0.0}, {0.4, -0.46, 0.0}, {0.3, -0.38, 0.0}}},
    {{{0.5, 0.2, 0.36}, {0.62, 0.26, 0.46}, {0.74, 0.32, 0.58}, {0.88, 0.4, 0.72},
      {-0.88, 0.4, 0.72}, {-0.74, 0.32, 0.58}, {-0.62, 0.26, 0.46}, {-0.5, 0.2, -0.4}}},
};

// Every beat calls on the right and its offbeat answers on the left. In the
// call the beats are the big, high gestures; in the answer the offbeats grow
// past them and lift higher, while the beats shrink and stay low.
constexpr Score kAnswer = {
    {{{0.9, 0.38, 0.0}, {0.72, 0.34, 0.0}, {0.78, 0.38, 0.0}, {0.72, 0.34, 0.0},
      {0.56, 0.12, 0.0}, {0.5, 0.1, 0.0}, {0.44, 0.12, 0.0}, {0.38, 0.1, 0.0}}},
    {{{-0.4, 0.18, 0.0}, {-0.46, 0.18, 0.0}, {-0.52, 0.2, 0.0}, {-0.58, 0.2, 0.0},
      {-0.7, 0.4, 0.0}, {-0.78, 0.44, 0.0}, {-0.86, 0.48, 0.0}, {-0.92, 0.52, 0.0}}},
};

// Land on the beat on alternating feet, hop up on the offbeat. The call hops
// forward, higher each time; the answer lands wider and hops back, lower each
// time.
constexpr Score kSkip = {
    {{{0.62, -0.3, 0.0}, {-0.52, -0.3, 0.0}, {0.56, -0.3, 0.0}, {-0.52, -0.3, 0.0},
      {0.76, -0.4, 0.0}, {-0.7, -0.4, 0.0}, {0.74, -0.4, 0.0}, {-0.7, -0.4, 0.0}}},
    {{{0.0, 0.5, 0.3}, {0.0, 0.62, 0.36}, {0.0, 0.74, 0.42}, {0.0, 0.88, 0.5},
      {0.0, 0.8, -0.5}, {0.0, 0.66, -0.42}, {0.0, 0.54, -0.36}, {0.0, 0.44, -0.3}}},
};

// Brushes in pairs, beat and offbeat on the same side, sides changing every
// beat. In the call the beat reaches forward and the offbeat draws back; in
// the answer, which starts on the left, the offbeat is the forward reach.
constexpr Score kShuffle = {
    {{{0.7, -0.24, 0.48}, {-0.64, -0.2, 0.44}, {0.7, -0.24, 0.48}, {-0.64, -0.2, 0.44},
      {-0.42, 0.2, -0.3}, {0.42, 0.2, -0.3}, {-0.46, 0.22, -0.34}, {0.46, 0.22, -0.34}}},
    {{{0.42, 0.16, -0.36}, {-0.4, 0.16, -0.34}, {0.42, 0.16, -0.36}, {-0.4, 0.16, -0.34},
      {-0.72, -0.3, 0.52}, {0.72, -0.3, 0.52}, {-0.8, -0.34, 0.58}, {0.8, -0.34, 0.58}}},
};

void add(strokes::Lane& lane, double pip, double value) {
    if (value != 0.0) lane.push_back({pip, value, kRise, kFall});
}

Rows render(const Score& score, double offbeat) {
    strokes::Lane x, y, z;
    for (int k = 0; k < kBeats; ++k) {
        const double beat = kPipsPerBeat * k;
        const Row& on = score.beat[static_cast<std::size_t>(k)];
        const Row& off = score.offbeat[static_cast<std::size_t>(k)];
        add(x, beat, on.x);
        add(y, beat, on.y);
        add(z, beat, on.z);
        add(x, beat + offbeat, off.x);
        add(y, beat + offbeat, off.y);
        add(z, beat + offbeat, off.z);
    }
    return rows_from_lanes(kPeriod, strokes::render_lane(x, kPeriod),
                           strokes::render_lane(y, kPeriod), strokes::render_lane(z, kPeriod));
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
        const Score* score;
    } kKinds[] = {{"push", 3, &kPush},
                  {"answer", 2, &kAnswer},
                  {"skip", 3, &kSkip},
                  {"shuffle", 3, &kShuffle}};
    for (const auto& ratio : kRatios) {
        const double offbeat = kPipsPerBeat * static_cast<double>(ratio.a) / ratio.b;
        const std::string a = std::to_string(ratio.a);
        const std::string b = std::to_string(ratio.b);
        for (const auto& kind : kKinds) {
            table.push_back({
                std::string("swing_") + kind.name + "_" + a + "_" + b,
                std::string("Eight-beat ") + kind.name + " score with offbeats at " + a + "/" + b +
                    " of each beat; peaks follow the score.",
                kPeriod,
                kind.dimensions,
                render(*kind.score, offbeat),
            });
        }
    }
}

}  // namespace gen
