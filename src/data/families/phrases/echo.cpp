// echo_: a call of n gestures that die away like echoes, then over the second
// four beats an answer with the same echo spacing in another direction: the
// call strikes out to the side and up, the answer pushes into depth, a little
// back across and down. However many echoes, the last is 0.3 of the first.
// Echo gaps are exact beat fractions: even, shrinking or growing by 3/4, or
// even with every echo crossing to the opposite side.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "families.hpp"
#include "phrases_common.hpp"

namespace gen {

namespace {

using phrases::Beats;

enum class Kind { regular, shrinking, expanding, crossed };

// The n - 1 gaps between the echoes of one kind.
std::vector<Beats> echo_gaps(Kind kind, int n) {
    std::vector<Beats> gaps;
    Beats shrinking{1, 1};
    for (int i = 0; i + 1 < n; ++i) {
        switch (kind) {
            case Kind::regular:  // three beats shared evenly
                gaps.push_back({3, n - 1});
                break;
            case Kind::crossed:  // three beats in n even steps
                gaps.push_back({3, n});
                break;
            case Kind::shrinking:
            case Kind::expanding:
                gaps.push_back(shrinking);
                shrinking = {shrinking.num * 3, shrinking.den * 4};
                break;
        }
    }
    if (kind == Kind::expanding) std::reverse(gaps.begin(), gaps.end());
    return gaps;
}

constexpr double kCallStrike = 0.9;   // x of the first call gesture
constexpr double kCallLift = 0.35;    // y of the first call gesture
constexpr double kAnswerPush = 0.85;  // z of the first answer gesture
constexpr double kAnswerDip = 0.35;   // y (downwards) of the first answer gesture
constexpr double kAnswerCross = 0.2;  // x (back across) of the first answer gesture
// Every call fades to the same last echo, so a longer call decays more gently
// per echo and its last echoes stay large enough to see.
constexpr double kLastEcho = 0.3;     // the last echo against the first gesture

}  // namespace

void emit_echo(Table& table) {
    constexpr int kPeriod = 512;
    constexpr double kAnswer = 256.0;
    static constexpr struct {
        const char* word;
        Kind kind;
    } kKinds[] = {{"regular", Kind::regular},
                  {"shrinking", Kind::shrinking},
                  {"expanding", Kind::expanding},
                  {"crossed", Kind::crossed}};
    for (const int n : {3, 4, 5, 6}) {
        for (const auto& kind : kKinds) {
            const std::string name = std::string("echo_") + kind.word + "_" + std::to_string(n);
            std::vector<Onset> strike, rise, push;  // x, y and z
            Beats at{0, 1};
            double level = 1.0;
            const double decay = std::pow(kLastEcho, 1.0 / (n - 1));
            const std::vector<Beats> gaps = echo_gaps(kind.kind, n);
            for (int i = 0; i < n; ++i) {
                const double pip = phrases::pips_of(at);
                const double side = kind.kind == Kind::crossed && i % 2 == 1 ? -1.0 : 1.0;
                strike.push_back({pip, side, kCallStrike * level});
                rise.push_back({pip, 1.0, kCallLift * level});
                push.push_back({pip + kAnswer, side, kAnswerPush * level});
                rise.push_back({pip + kAnswer, -1.0, kAnswerDip * level});
                strike.push_back({pip + kAnswer, -side, kAnswerCross * level});
                if (i + 1 < n) at = phrases::plus(at, gaps[static_cast<std::size_t>(i)]);
                level *= decay;
            }
            table.push_back({
                name,
                "An original decaying call and a differently directed answer; echo spacing is "
                "preserved as fractions.",
                kPeriod,
                3,
                rows_from_lanes(kPeriod, phrases::spaced_lane(strike, kPeriod, 0.75, 24.0, name),
                                 phrases::spaced_lane(rise, kPeriod, 0.75, 24.0, name),
                                 phrases::spaced_lane(push, kPeriod, 0.75, 24.0, name)),
            });
        }
    }
}

}  // namespace gen
