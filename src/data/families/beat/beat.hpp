// The beat family: 68 dance-music grooves, each moved by 16 variants. A groove
// is its score (lanes of hits at their real pips); a variant is one motion
// design that reads the score's roles and draws the rows of one period.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "gen_support.hpp"

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
    std::vector<Lane> lanes;
};

// The lanes a variant reads. Each role merges the lanes it names into one
// list in ascending pip order, one hit per pip (the strongest where lanes
// coincide). A role that a groove lacks falls back to the nearest lane it has,
// in the order written once where the roles are resolved; `backbeat` alone may
// stay empty (a bare kick pulse has no side accents).
struct Roles {
    std::vector<Hit> kick;        // kick lanes
    std::vector<Hit> backbeat;    // snare, clap; else clave, bell, cowbell; else rim
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

// ---- scores ----------------------------------------------------------------

// One lane of a score as written: its name ("kick", "open hat"; a lane of
// eighth-note triplets carries the suffix " (triplet)") and its grid, one
// character per step (x accent, o normal, g ghost, . rest), bars separated by
// " |". A straight bar has 16 steps, a triplet bar 12.
struct LaneScore {
    std::string_view name;
    std::string_view grid;
};

// The suffix of a triplet lane's name.
inline constexpr std::string_view kTripletMark = " (triplet)";

// The score of one style: its key, its length in bars, its swing (the
// fraction of a sixteenth by which every off-sixteenth of a straight lane is
// delayed) and its lanes.
struct Score {
    std::string_view key;
    int bars;
    double swing;
    std::vector<LaneScore> lanes;
};

// The 68 scores, in the order of the styles (beat_grooves.cpp).
const std::vector<Score>& beat_scores();

// The score of one style; throws if there is none.
const Score& score_of(std::string_view key);

// Places every hit of a score at its real pip: straight step s of bar b at
// 256 b + 16 s, an odd step delayed by round(16 swing); triplet step s at
// 256 b + round(256 s / 12). Throws, naming the style and lane, if a lane's
// bars or steps do not match the score's bar count or a symbol is unknown.
Groove parse_groove(const Score& score);

// The kinds of sound a lane names: kick (kick, break kick), backbeat (snare,
// clap), rim, cymbal (hat, open hat, ride, crash, shaker), wood_metal (clave,
// bell, cowbell), perc, tom (tom, low tom, high tom), bass (bass, log drum,
// rumble). Throws for a lane name outside these.
enum class Sound { kick, backbeat, rim, cymbal, wood_metal, perc, tom, bass };
Sound sound_of(std::string_view lane);

// The hits of every lane of the groove that sounds one of `sounds`, in
// ascending pip order, one per pip: where lanes coincide the strongest hit
// stands.
std::vector<Hit> lane_hits(const Groove& groove, const std::vector<Sound>& sounds);

// The roles of a groove, each merged from the lanes that the fallback order
// of beat_score.cpp picks for it. Every role but `backbeat` holds at least
// one hit.
Roles resolve_roles(const Groove& groove);

// ---- styles and variants ---------------------------------------------------

// A style as its score must match it: its key and its period in pips.
struct Style {
    std::string_view key;
    int period;
};

// The 68 styles in style order: the first set of 36, then the second set of
// 32 (beat_styles.cpp).
const std::vector<Style>& beat_styles();

// Whether a style's spring comes to rest before its loop closes, so that its
// rows start at the origin (beat_spring.cpp says when).
bool spring_starts_at_rest(const Roles& roles, int period);

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
