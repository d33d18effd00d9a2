// stick_study_: a four-beat sixteenth-note sticking phrase drawn as hand
// motion (right hand to the right, left hand to the left): the accented lead
// of every group flings high and wide, the taps between stay close and low.
// The next four beats answer with the same phrase, hands swapped.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "families.hpp"
#include "phrases_common.hpp"

namespace gen {

namespace {

// Sixteen sixteenth-note slots per phrase: R and L are strokes, '.' a rest,
// a space closes a group; the first stroke of every group is accented.
constexpr const char* kPhrases[] = {
    "RRL RRL RLR LRL RLRL", "RLLR LRRL RL RLR LRR",  "RL. RL. RLL RLR R.LL",
    "RRLL RLR LLRR LRL RL", "RLRLL RLRLL RLRL..",    "RLR. LRL. RRL LLR RL",
    "RLLRL LRRLR RLRLR.",   "R.RL L.LR RLRL LRLR",   "RLLL RLLL RLR LRL..",
    "RRLRL LLRLR RRL LL.",  "RLR LRL RLR LRL RLRL",  "RLRRL RLRRL RLRRL R",
    "R.LR L.RL R.LR LRLR",  "RRRL LLLR RLRL RL..",   "RLL RLL RL RLL RLL RL",
    "RLRLR LRLRL RLR LR.",
};

constexpr int kSlots = 16;
constexpr double kSlotPips = 16.0;
constexpr double kLeadReach = 0.9;   // x of an accented group lead
constexpr double kTapReach = 0.45;   // x of the other strokes
constexpr double kLeadLift = 0.85;   // y of an accented group lead
constexpr double kTapLift = -0.25;   // y of the other strokes

}  // namespace

void emit_stick_study(Table& table) {
    constexpr int kPeriod = 512;
    constexpr double kAnswer = 256.0;  // the hand-swapped answer starts after four beats
    int number = 0;
    for (const char* phrase : kPhrases) {
        char name[32];
        std::snprintf(name, sizeof name, "stick_study_%02d", ++number);
        std::vector<Onset> hands, lifts;
        int slot = 0;
        bool group_start = true;
        for (const char* c = phrase; *c != '\0'; ++c) {
            if (*c == ' ') {
                group_start = true;
                continue;
            }
            if (*c == 'R' || *c == 'L') {
                const double hand = *c == 'R' ? 1.0 : -1.0;
                const double pip = kSlotPips * slot;
                const double reach = group_start ? kLeadReach : kTapReach;
                const double lift = group_start ? kLeadLift : kTapLift;
                hands.push_back({pip, hand, reach});
                hands.push_back({pip + kAnswer, -hand, reach});
                lifts.push_back({pip, 1.0, lift});
                lifts.push_back({pip + kAnswer, 1.0, lift});
            } else if (group_start) {
                throw std::logic_error(std::string(name) + ": a group must open with a stroke");
            }
            group_start = false;
            ++slot;
        }
        if (slot != kSlots || phrase[0] == '.') {
            throw std::logic_error(std::string(name) + ": a phrase fills sixteen slots from a stroke");
        }
        table.push_back({
            name,
            "Original R/L movement study with accented group leads, followed by its hand-swapped "
            "answer. Not an official rudiment transcription.",
            kPeriod,
            2,
            rows_from_lanes(kPeriod, phrases::spaced_lane(hands, kPeriod, 0.75, 12.0, name),
                             phrases::spaced_lane(lifts, kPeriod, 0.75, 12.0, name), {}),
        });
    }
}

}  // namespace gen
