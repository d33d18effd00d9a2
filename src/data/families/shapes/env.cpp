// env_: one-lane envelopes drawn on y over an eight-beat phrase. Each envelope
// is a list of levels at beat positions joined by smoothstep, so every level is
// reached with zero speed; all of them leave from rest and settle back to rest
// before the loop ends, and x never moves.
#include <string>
#include <vector>

#include "families.hpp"

namespace gen {
namespace {

struct Level {
    double beat;
    double y;
};

struct Envelope {
    const char* suffix;
    const char* label;
    std::vector<Level> levels;  // the first one is the rest at beat 0
};

Rows draw(const std::vector<Level>& levels, int period) {
    std::vector<Key> keys;
    for (const Level& l : levels) keys.push_back({l.beat * kPipsPerBeat, Row{0.0, l.y, 0.0}});
    return keyframe_path(keys, period);
}

}  // namespace

void emit_env(Table& table) {
    // Every envelope ends on a level of 0 and rests there until the loop
    // restarts, so the seam sits inside a rest.
    const std::vector<Envelope> envelopes = {
        {"lift_hold_drop", "Lift, hold, settle",
         {{0, 0}, {1.5, 0.85}, {4.5, 0.85}, {6.0, -0.1}, {6.75, 0}}},
        {"inhale_exhale", "Long inhale, short exhale", {{0, 0}, {5.5, 0.9}, {6.25, 0}}},
        {"triple_swell", "Three unequal swells",
         {{0, 0}, {1.0, 0.45}, {2.0, 0}, {3.5, 0.92}, {4.75, 0}, {5.75, 0.3}, {6.75, 0}}},
        {"rising_echo", "Rising echo ladder",
         {{0, 0}, {0.75, 0.3}, {1.25, 0.14}, {2.25, 0.52}, {2.75, 0.36}, {3.75, 0.74},
          {4.25, 0.58}, {5.25, 0.95}, {6.75, 0}}},
        {"falling_echo", "Falling echo ladder",
         {{0, 0}, {0.75, 0.95}, {1.5, 0.58}, {2.25, 0.74}, {3.0, 0.36}, {3.75, 0.52},
          {4.5, 0.14}, {5.25, 0.3}, {6.5, 0}}},
        // A slow wind-back below rest prepares the snap up.
        {"anticipation", "Backward anticipation",
         {{0, 0}, {2.75, -0.45}, {3.25, -0.45}, {3.75, 0.95}, {4.5, 0.6}, {6.5, 0}}},
        {"plateau_scoop", "Plateau then scoop",
         {{0, 0}, {1.0, 0.7}, {3.5, 0.7}, {5.0, -0.55}, {6.5, 0}}},
        // Each advance is followed by a small pull-back before going on.
        {"hesitant", "Hesitant reach",
         {{0, 0}, {1.0, 0.35}, {1.5, 0.28}, {2.5, 0.6}, {3.0, 0.52}, {4.25, 0.95},
          {5.25, 0.95}, {6.75, 0}}},
        {"double_hold", "Two-height hold",
         {{0, 0}, {0.75, 0.45}, {2.75, 0.45}, {3.5, 0.9}, {5.5, 0.9}, {6.75, 0}}},
        {"swell_recoil", "Deep swell and recoil",
         {{0, 0}, {3.0, 0.95}, {4.5, -0.55}, {5.5, 0.15}, {6.5, 0}}},
        {"late_release", "Late release", {{0, 0}, {1.0, 0.8}, {6.75, 0.8}, {7.5, 0}}},
        // The attack arrives in two stages with a short give between them.
        {"split_attack", "Split attack",
         {{0, 0}, {0.5, 0.5}, {1.0, 0.4}, {1.5, 0.95}, {2.5, 0.7}, {5.5, 0}}},
        // A rising call, then an answer that dips and hangs above rest.
        {"suspended", "Suspended answer",
         {{0, 0}, {1.0, 0.7}, {2.0, 0}, {3.0, -0.45}, {4.5, 0.45}, {6.75, 0.45}, {7.5, 0}}},
        {"valley_peaks", "Valley between peaks",
         {{0, 0}, {1.5, 0.8}, {4.0, -0.6}, {6.0, 0.95}, {7.25, 0}}},
        // Each breath peaks on a beat: an inhale of a beat or more, a shorter exhale.
        {"four_breaths", "Four breathing accents",
         {{0, 0}, {1.0, 0.9}, {1.75, 0}, {3.0, 0.55}, {3.75, 0}, {5.0, 0.75}, {5.75, 0},
          {7.0, 0.45}, {7.75, 0}}},
        {"return_stair", "Stepped soft recovery",
         {{0, 0}, {0.75, 0.9}, {1.75, 0.9}, {2.25, 0.65}, {3.25, 0.65}, {3.75, 0.4},
          {4.75, 0.4}, {5.25, 0.15}, {6.25, 0.15}, {6.75, 0}}},
    };
    constexpr int kPeriod = 512;
    for (const Envelope& e : envelopes) {
        table.push_back({
            std::string("env_") + e.suffix,
            std::string(e.label) + " over an eight-beat phrase; smooth, resting joins.",
            kPeriod,
            2,
            draw(e.levels, kPeriod),
        });
    }
}

}  // namespace gen
