// triplet_: eight beats of triplet gestures (three per beat) swinging left and
// right, with a lift on each beat, and deliberate gaps. An answer ending fills
// each gap with a low answer in depth on the straight sixteenth grid, off the
// triplet grid; a turnaround ending plays the gap pattern rotated after four
// beats, the re-entries after the gaps marked in depth.
#include <array>
#include <string>
#include <vector>

#include "families.hpp"
#include "bursts_common.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 512;
constexpr int kHalfSlots = 12;  // four beats of triplets
constexpr int kSlots = 2 * kHalfSlots;
constexpr double kSlotPips = kPipsPerBeat / 3.0;

// Four beats of triplet slots ('x' played, '.' left out) and the rotation the
// turnaround ending applies to the second four beats.
struct TripletScore {
    const char* slots;
    int rotation;
};

constexpr std::array<TripletScore, 8> kScores = {{
    {"xx.xx.xx.x.x", 1},
    {"x.xxx.x.xxx.", 2},
    {"xxx.xx.xxx.x", 4},
    {"x.xx.xxxx.x.", 5},
    {"xx.xxx.xx.xx", 7},
    {"x..xx.x.xxxx", 8},
    {"xxxx.xx..xx.", 10},
    {"x.x.xx.xxx.x", 11},
}};

enum class Ending { answer, turnaround };

Rows triplet(const TripletScore& score, Ending ending) {
    auto played = [&](int slot) {
        const int half = slot / kHalfSlots;
        int s = slot % kHalfSlots;
        if (ending == Ending::turnaround && half == 1) s = (s + score.rotation) % kHalfSlots;
        return score.slots[s] == 'x';
    };
    std::vector<Onset> swing;  // x: every played triplet, alternating sides
    std::vector<Onset> lift;   // y: a lift on each played beat, a dip on each answer
    std::vector<Onset> depth;  // z: answers, or re-entries after a gap
    for (int slot = 0; slot < kSlots; ++slot) {
        const double pip = slot * kSlotPips;
        const double half_sign = slot < kHalfSlots ? 1.0 : -1.0;
        if (played(slot)) {
            const bool on_beat = slot % 3 == 0;
            swing.push_back({pip, slot % 2 == 0 ? 1.0 : -1.0, on_beat ? 0.9 : 0.75});
            if (on_beat) lift.push_back({pip, 1.0, 0.65});
            if (ending == Ending::turnaround && !played((slot + kSlots - 1) % kSlots)) {
                depth.push_back({pip, half_sign, 0.6});
            }
        } else if (ending == Ending::answer) {
            // The answer falls on the first sixteenth after the silent triplet.
            const double answer = 16.0 * (static_cast<int>(pip / 16.0) + 1);
            lift.push_back({answer, -1.0, 0.45});
            depth.push_back({answer, half_sign, 0.7});
        }
    }
    // Narrow swings (0.6 of a slot) cross through the centre between played
    // triplets but leave a still moment where one is left out.
    return rows_from_lanes(kPeriod, bursts::render_spaced_lane(swing, 0.6, kSlotPips, kPeriod),
                              bursts::render_spaced_lane(lift, 0.9, 1.5 * kSlotPips, kPeriod),
                              bursts::render_spaced_lane(depth, 0.9, 1.5 * kSlotPips, kPeriod));
}

}  // namespace

void emit_triplet(Table& table) {
    static constexpr struct {
        const char* suffix;
        Ending ending;
    } kEndings[] = {{"answer", Ending::answer}, {"turnaround", Ending::turnaround}};
    for (std::size_t i = 0; i < kScores.size(); ++i) {
        std::string number = std::to_string(i + 1);
        if (number.size() < 2) number.insert(0, 1, '0');
        for (const auto& e : kEndings) {
            table.push_back({
                "triplet_" + number + "_" + e.suffix,
                "Triplet-grid gestures with deliberate omissions; gaps either answer off-grid or "
                "rotate after four beats.",
                kPeriod,
                3,
                triplet(kScores[i], e.ending),
            });
        }
    }
}

}  // namespace gen
