// The beat family: 68 dance-music grooves, each moved by 16 variants. A groove
// is its score (lanes of hits at their real pips); a variant is one motion
// design that reads the score's roles and draws the rows of one period.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "../gen_support.hpp"

namespace gen::beat {

// How strongly a hit drives a gesture: ghost < normal < accent.
inline constexpr double kGhost = 0.35;
inline constexpr double kNormal = 0.65;
inline constexpr double kAccent = 1.0;

// One hit of a score at its real pip in [0, period): swing delays and triplet
// positions already placed and rounded to a whole pip.
struct Hit {
    int pip = 0;
    double weight = kNormal;
};

// One lane of a score as written (for example "kick", "open hat", "bass").
struct Lane {
    std::string name;
    bool triplet = false;
    std::vector<Hit> hits;  // ascending pips
};

struct Groove {
    std::string key;  // the style key, as in beat_<key>_<variant>
    int period = 0;   // bars * 256 pips
    double swing = 0.0;
    std::vector<Lane> lanes;
};

// The lanes a variant reads. Each role merges the lanes it names into one
// list in ascending pip order, one hit per pip (the strongest where lanes
// coincide). A role that a groove lacks falls back to the nearest lane it has,
// in the order written once where the roles are resolved; `backbeat` alone may
// stay empty (a bare kick pulse has no side accents).
struct Roles {
    std::vector<Hit> kick;        // kick lanes
    std::vector<Hit> backbeat;    // snare, clap, rim
    std::vector<Hit> hats;        // closed and open hats, ride, shaker
    std::vector<Hit> percussion;  // every lane that is not a bass lane
    std::vector<Hit> bass;        // bass, log drum, rumble
    std::vector<Hit> all;         // every hit of every lane
};

// What a variant draws from: the groove, its resolved roles, and the pattern's
// period and dimensions (axes beyond `dimensions` must stay exactly 0.0).
struct BeatInput {
    const Groove& groove;
    const Roles& roles;
    int period;
    int dimensions;
};

using VariantMotion = Rows (*)(const BeatInput&);

// The sixteen motion designs, in variant order.
Rows beat_bounce(const BeatInput& in);
Rows beat_step(const BeatInput& in);
Rows beat_orbit(const BeatInput& in);
Rows beat_glide(const BeatInput& in);
Rows beat_surge(const BeatInput& in);
Rows beat_recoil(const BeatInput& in);
Rows beat_flutter(const BeatInput& in);
Rows beat_spring(const BeatInput& in);
Rows beat_dive(const BeatInput& in);
Rows beat_pendulum(const BeatInput& in);
Rows beat_figure8(const BeatInput& in);
Rows beat_box(const BeatInput& in);
Rows beat_corkscrew(const BeatInput& in);
Rows beat_spiral(const BeatInput& in);
Rows beat_slalom(const BeatInput& in);
Rows beat_ricochet(const BeatInput& in);

}  // namespace gen::beat
