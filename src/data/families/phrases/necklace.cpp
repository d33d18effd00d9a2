// necklace_: a sixteen-step binary accent word read as a loop of eighth
// notes. Every 1 leans right and lifts, every 0 (the complement) leans left
// and sinks; along a run of equal steps each lift climbs higher and each sink
// goes lower, and each accent that rises out of the complement (a 0 followed
// by a 1) also pushes into depth.
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "families.hpp"
#include "phrases_common.hpp"

namespace gen {

namespace {

// No word is a rotation of another, so each draws a different necklace.
constexpr const char* kWords[] = {
    "1001001000100100", "1010110010101100", "1100101101001010", "1000110001101110",
    "1011011101010010", "1110010011100100", "1001011100101000", "1101100100110010",
    "1000100010101010", "1011000110110100", "1110110100101000", "1010010010010011",
    "1100010111000100", "1001110100011010", "1111010010100100", "1010101101101100",
};

constexpr double kStepPips = 32.0;
constexpr double kWordReach = 0.85;        // x of an accent (right)
constexpr double kComplementReach = 0.55;  // x of a complement step (left)
// y of the first accent of a run and the climb of each further one
constexpr double kWordLift = 0.35;
constexpr double kWordClimb = 0.25;
constexpr double kWordTop = 0.85;
// y of the first complement step of a run and how much deeper each further one sinks
constexpr double kComplementSink = -0.15;
constexpr double kComplementFall = -0.1;
constexpr double kComplementBottom = -0.45;
constexpr double kRisePush = 0.8;          // z where an accent follows a complement step

}  // namespace

void emit_necklace(Table& table) {
    constexpr int kPeriod = 512;
    int number = 0;
    for (const std::string word : kWords) {
        char name[32];
        std::snprintf(name, sizeof name, "necklace_%02d", ++number);
        if (static_cast<double>(word.size()) * kStepPips != kPeriod) {
            throw std::logic_error(std::string(name) + ": a word fills the period");
        }
        std::vector<Onset> lean, lift, push;
        for (std::size_t i = 0; i < word.size(); ++i) {
            const double pip = kStepPips * static_cast<double>(i);
            const bool accent = word[i] == '1';
            const bool after_complement = word[(i + word.size() - 1) % word.size()] == '0';
            lean.push_back({pip, accent ? 1.0 : -1.0, accent ? kWordReach : kComplementReach});
            // Steps since the run of equal steps began, read around the loop.
            int run = 0;
            while (run + 1 < static_cast<int>(word.size()) &&
                   word[(i + 2 * word.size() - 1 - static_cast<std::size_t>(run)) % word.size()] ==
                       word[i]) {
                ++run;
            }
            lift.push_back({pip, 1.0,
                            accent ? std::min(kWordLift + kWordClimb * run, kWordTop)
                                   : std::max(kComplementSink + kComplementFall * run,
                                              kComplementBottom)});
            if (accent && after_complement) push.push_back({pip, 1.0, kRisePush});
        }
        table.push_back({
            name,
            "A hand-authored binary accent word; its complement moves the other side and rising "
            "accents add depth.",
            kPeriod,
            3,
            rows_from_lanes(kPeriod, phrases::spaced_lane(lean, kPeriod, 0.75, 24.0, name),
                             phrases::spaced_lane(lift, kPeriod, 0.75, 24.0, name),
                             phrases::spaced_lane(push, kPeriod, 0.6, 40.0, name)),
        });
    }
}

}  // namespace gen
