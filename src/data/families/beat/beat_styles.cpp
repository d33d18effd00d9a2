// beat_: 68 dance-music grooves, each moved by 16 variants. Every pattern is
// its style's score, read into roles (kick, backbeat, hats, percussion, bass),
// driving one motion design; this file holds the names and words of the
// styles and variants and lays the records out in table order.
#include <stdexcept>
#include <string>
#include <string_view>

#include "families.hpp"
#include "beat.hpp"

namespace gen {
namespace {

using namespace beat;

// How many axes a style's variants move: kind A gives bounce and step two
// axes and the rest three, kind B all three, kind F (four_floor alone) gives
// bounce, step and orbit two.
enum class Kind { A, B, F };

struct FirstSetStyle {
    std::string_view key;
    std::string_view label;
    int period;
    Kind kind;
    std::string_view base_tail;  // the tail of the four base variants; may be empty
};

struct SecondSetStyle {
    std::string_view key;
    std::string_view label;
    Kind kind;
};

constexpr int kSecondSetPeriod = 512;

const FirstSetStyle kFirstSet[] = {
    {"four_floor", "Four to the floor / bare pulse", 256, Kind::F,
     "Equal quarter-note kicks only. This shared foundation is not itself a complete genre."},
    {"house_classic", "House / kick-clap-offbeat hat", 512, Kind::A, ""},
    {"house_shuffle", "House / shuffled hats", 512, Kind::A, ""},
    {"house_jack", "Jackin house / ghost-kick turnaround", 512, Kind::A,
     "Original swung variant: extra ghost kicks and claps; not a transcription of a named track."},
    {"techno_drive", "Techno / straight driving pulse", 512, Kind::A, ""},
    {"techno_toms", "Techno / tom conversation", 512, Kind::A, ""},
    {"techno_broken", "Techno / broken kick study", 512, Kind::A,
     "A deliberately broken alternative; not all techno uses a quarter-note kick."},
    {"techno_polymeter", "Techno / three-step percussion cycle", 768, Kind::A,
     "Original three-sixteenth percussion cycle over 4/4: both layers close after three bars."},
    {"ukg_two_step", "UK garage / two-step foundation", 512, Kind::A,
     "Backbeats on 2/4; the second kick sits on the & of 3. Off-grid hats supply shuffle."},
    {"ukg_skip", "UK garage / skipping answer", 512, Kind::A, ""},
    {"ukg_four_four", "UK garage / four-four shuffle", 512, Kind::A,
     "Garage also has a four-to-the-floor branch; it is not all two-step."},
    {"speed_garage", "Speed garage / offbeat bass answers", 512, Kind::B,
     "Bass onsets are included as movement cues. Audio uses a simple synth, not a sampled Reese patch."},
    {"bassline", "Bassline / syncopated low-end hooks", 512, Kind::B, ""},
    {"grime_sparse", "Grime / sparse square-cut backbeat", 512, Kind::A, ""},
    {"grime_syncopated", "Grime / displaced snare conversation", 512, Kind::A,
     "A 140 BPM syncopated study; grime has no single mandatory snare pattern."},
    {"grime_half", "Grime / half-time negative space", 512, Kind::B, ""},
    {"drill_tresillo", "UK drill / grouped hats", 512, Kind::B,
     "3+3+2 sixteenth grouping is not a tuplet: the grid here remains straight."},
    {"drill_displaced", "UK drill / moving second-bar snare", 512, Kind::B,
     "Snare: beat 3 in bar one, beat 4 in bar two. This is one common design, not a rule for all drill."},
    {"drill_rolls", "UK drill / true triplet hat fill", 512, Kind::B,
     "The added hat fill uses rational tuplets; grouped hats and triplet rolls remain distinct concepts."},
    {"amen_four_bar", "Amen / four-bar structural study", 1024, Kind::B,
     "Corvane / The Winstons, Amen, Brother. Four bars, not a generic 2-bar loop. Timing/velocity are approximations; no original recording or measured human microtiming."},
    {"amen_no_ghosts", "Amen / remove the ghost snares", 1024, Kind::B,
     "A/B study: only quiet snares removed. This deliberately simplified version is not the complete Amen."},
    {"jungle_chops", "Jungle / rearranged break fragments", 512, Kind::A,
     "Original chopped-break-style arrangement, not the original Amen sequence."},
    {"jungle_ghosts", "Jungle / ghosts and snare rolls", 512, Kind::A, ""},
    {"jungle_switch", "Jungle / full-time to half-time answer", 1024, Kind::A,
     "Four-bar original phrase: the final half uses fewer main snares, not a tempo change."},
    {"dnb_two_step", "Drum & bass / two-step foundation", 512, Kind::A, ""},
    {"dnb_rolling", "Drum & bass / rolling ghosts", 512, Kind::A, ""},
    {"dnb_half", "Drum & bass / half-time space", 512, Kind::B, ""},
    {"dubstep_half", "Dubstep / half-step anchor", 512, Kind::B, ""},
    {"dubstep_skip", "Dubstep / skippy half-step", 512, Kind::B, ""},
    {"trap_trills", "Trap / half-time and hat trills", 512, Kind::B, ""},
    {"electro", "Electro / broken machine groove", 512, Kind::A, ""},
    {"trance", "Trance / offbeat lift", 512, Kind::B,
     "Offbeat bass/pulse is included. A rhythmic sketch cannot supply trance harmony, timbre or arrangement."},
    {"rave_breaks", "Rave / four-floor plus break layer", 512, Kind::A, ""},
    {"dembow", "Reggaeton / dembow answer", 512, Kind::A,
     "Quarter-note kick version with offbeat snare answers; one useful dembow foundation, not every dancehall rhythm."},
    {"disco", "Disco / lively hat accents", 512, Kind::A, ""},
    {"amapiano", "Amapiano / shaker and bass-percussion study", 512, Kind::B,
     "An original percussion and log-drum-style bass rhythm. Pitched bass is a cue lane, not a downloaded sample."},
};

const SecondSetStyle kSecondSet[] = {
    {"jersey_five", "Jersey / five-kick foundation", Kind::A},
    {"jersey_call", "Jersey / call and turnaround", Kind::B},
    {"footwork_triplet", "Footwork / triplet bass reply", Kind::B},
    {"footwork_sparse", "Footwork / interrupted half-time", Kind::B},
    {"funky_toms", "UK funky / tom-led skips", Kind::B},
    {"funky_syncopated", "UK funky / broken response", Kind::B},
    {"broken_push", "Broken beat / early-and-late answers", Kind::B},
    {"broken_shuffle", "Broken beat / shuffled rim circuit", Kind::B},
    {"afro_bell", "Afro house / bell and kick weave", Kind::B},
    {"afro_cross", "Afro house / three-over-four percussion", Kind::B},
    {"gqom_space", "Gqom / broken-kick space study", Kind::B},
    {"gqom_exchange", "Gqom / staggered drum exchange", Kind::B},
    {"baile_toms", "Baile funk / low-drum conversation", Kind::A},
    {"baile_response", "Baile funk / syncopated answer", Kind::B},
    {"reggae_one_drop", "Reggae / one-drop foundation", Kind::B},
    {"reggae_steppers", "Dub / steppers foundation", Kind::B},
    {"reggae_rockers", "Reggae / kick-on-one-and-three study", Kind::B},
    {"son_clave_32", "Latin club / 3-2 son clave", Kind::B},
    {"son_clave_23", "Latin club / 2-3 son clave", Kind::B},
    {"psy_rolling", "Psy / straight rolling bass gaps", Kind::B},
    {"psy_offbeat", "Trance / offbeat bass exchange", Kind::B},
    {"hard_reverse", "Hard dance / delayed bass swell cues", Kind::B},
    {"italo_machine", "Italo / machine rim conversation", Kind::B},
    {"electro_robot", "Electro / asymmetric machine break", Kind::B},
    {"acid_percussion", "Acid house / syncopated machine accents", Kind::B},
    {"techno_rumble", "Techno / delayed low-end answer", Kind::B},
    {"ukg_rim_shuffle", "Garage / rim-led skipping pocket", Kind::B},
    {"dnb_push", "DnB / kick pickup and ghost reply", Kind::B},
    {"jungle_switchback", "Jungle / two-bar switchback", Kind::B},
    {"amapiano_answer", "Amapiano / log-like bass answer", Kind::B},
    {"dancehall_space", "Dancehall / spacious offbeat replies", Kind::B},
    {"dembow_push", "Reggaeton / dembow with pickup answer", Kind::B},
};

struct Variant {
    std::string_view suffix;
    std::string_view title;
    std::string_view second_set_title;  // where the second set words it differently
    std::string_view tail;              // the extended variants' own sentence
    std::string_view second_set_tail;   // the base variants' sentence in the second set
    VariantMotion motion;
};

constexpr std::size_t kBaseVariants = 4;

const Variant kVariants[] = {
    {"bounce", "Kick-led bounce", "", "",
     "Original Vesper 05 kick-led downstroke and side accents.", beat_bounce},
    {"step", "Snare side-step", "", "",
     "Original Vesper 05 alternating lateral kick and snare gestures.", beat_step},
    {"orbit", "Percussion orbit", "", "",
     "Original Vesper 05 event-weighted orbital speed, radius and depth.", beat_orbit},
    {"glide", "Bass-and-phrase glide", "Bass / phrase glide", "",
     "Original Vesper 05 continuous phrase path with bass excursions.", beat_glide},
    {"surge", "Forward surge", "",
     "Kick thrust through depth with contrasting snare lift and hat detail.", "", beat_surge},
    {"recoil", "Backbeat recoil", "",
     "Snare pushes sideways; kick counters downward; delayed echo draws back.", "", beat_recoil},
    {"flutter", "Upper-percussion flutter", "",
     "Hat and shaker tremors over a wider kick/snare arc.", "", beat_flutter},
    {"dive", "Bass-led dive", "",
     "Bass drives a broad depth plunge with alternating drum counterweight.", "", beat_dive},
    {"pendulum", "Weighted pendulum", "",
     "A hanging arc whose amplitude and angular speed respond to the score.", "", beat_pendulum},
    {"figure8", "Woven figure eight", "",
     "Two crossing lobes expand at kicks with a lifted snare crossing.", "", beat_figure8},
    {"box", "Rounded corner tour", "",
     "Rhythm-weighted phase travels around four softened corners.", "", beat_box},
    {"corkscrew", "Closed corkscrew", "",
     "Two orbital turns ride a depth wave with percussion-driven radius.", "", beat_corkscrew},
    {"spiral", "Breathing spiral", "",
     "A contracting and expanding double-turn path with a continuous seam.", "", beat_spiral},
    {"slalom", "Drum slalom", "",
     "S-shaped travel with kick lift, snare cutbacks and depth counter-motion.", "", beat_slalom},
    {"spring", "Causal spring", "",
     "An event starts at rest, then drives a damped ringing excursion.", "", beat_spring},
    {"ricochet", "Directional ricochet", "",
     "Successive onsets send smooth excursions toward a cyclic series of targets.", "",
     beat_ricochet},
};

int dimensions_of(Kind kind, std::size_t variant) {
    switch (kind) {
        case Kind::A: return variant < 2 ? 2 : 3;
        case Kind::F: return variant < 3 ? 2 : 3;
        case Kind::B: break;
    }
    return 3;
}

// One style's groove, read once and shared by its sixteen variants.
struct StyleScore {
    Groove groove;
    Roles roles;
};

StyleScore read_score(std::string_view key, int period) {
    Groove groove = parse_groove(score_of(key));
    if (groove.period != period) {
        throw std::invalid_argument("score " + std::string(key) + " lasts " +
                                    std::to_string(groove.period) + " pips, its style " +
                                    std::to_string(period));
    }
    Roles roles = resolve_roles(groove);
    return {std::move(groove), std::move(roles)};
}

void emit(Table& table, std::string_view key, std::string_view label, int period, Kind kind,
          const StyleScore& score, std::size_t variant, std::string_view title,
          std::string_view tail) {
    const Variant& v = kVariants[variant];
    const int dimensions = dimensions_of(kind, variant);
    const BeatInput in{score.groove, score.roles, period, dimensions};
    std::string description = std::string(label) + " \u2014 " + std::string(title) + ". ";
    description += tail;
    table.push_back({"beat_" + std::string(key) + "_" + std::string(v.suffix),
                     std::move(description), period, dimensions, v.motion(in)});
}

}  // namespace

namespace beat {

const std::vector<Style>& beat_styles() {
    static const std::vector<Style> styles = [] {
        std::vector<Style> all;
        for (const FirstSetStyle& s : kFirstSet) {
            all.push_back({s.key, s.period});
        }
        for (const SecondSetStyle& s : kSecondSet) {
            all.push_back({s.key, kSecondSetPeriod});
        }
        return all;
    }();
    return styles;
}

}  // namespace beat

// Only springs start at the origin: those whose rings have all died away
// before the loop closes (beat_spring.cpp).
bool beat_starts_at_origin(std::string_view name) {
    constexpr std::string_view kPrefix = "beat_";
    constexpr std::string_view kSpring = "_spring";
    if (!name.starts_with(kPrefix) || !name.ends_with(kSpring)) return false;
    const std::string_view key =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSpring.size());
    const Groove groove = parse_groove(score_of(key));
    return spring_starts_at_rest(resolve_roles(groove), groove.period);
}

void emit_beat(Table& table) {
    constexpr std::size_t kVariantCount = std::size(kVariants);
    std::vector<StyleScore> first;
    for (const FirstSetStyle& s : kFirstSet) first.push_back(read_score(s.key, s.period));
    // The first set: every style's four base variants, then every style's
    // twelve extended ones.
    for (std::size_t i = 0; i < std::size(kFirstSet); ++i) {
        const FirstSetStyle& s = kFirstSet[i];
        for (std::size_t v = 0; v < kBaseVariants; ++v) {
            emit(table, s.key, s.label, s.period, s.kind, first[i], v, kVariants[v].title,
                 s.base_tail);
        }
    }
    for (std::size_t i = 0; i < std::size(kFirstSet); ++i) {
        const FirstSetStyle& s = kFirstSet[i];
        for (std::size_t v = kBaseVariants; v < kVariantCount; ++v) {
            emit(table, s.key, s.label, s.period, s.kind, first[i], v, kVariants[v].title,
                 kVariants[v].tail);
        }
    }
    // The second set: each style with all sixteen in variant order.
    for (const SecondSetStyle& s : kSecondSet) {
        const StyleScore score = read_score(s.key, kSecondSetPeriod);
        for (std::size_t v = 0; v < kVariantCount; ++v) {
            const Variant& variant = kVariants[v];
            const bool base = v < kBaseVariants;
            emit(table, s.key, s.label, kSecondSetPeriod, s.kind, score, v,
                 variant.second_set_title.empty() ? variant.title : variant.second_set_title,
                 base ? variant.second_set_tail : variant.tail);
        }
    }
}

}  // namespace gen
