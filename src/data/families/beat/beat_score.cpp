// Reading a score: every hit placed at its real pip (swing and triplets
// included), and the lanes gathered into the roles that the variants read,
// with one fallback order for a style that lacks a lane.
#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <string>

#include "beat.hpp"

namespace gen::beat {
namespace {

constexpr int kPipsPerBar = 256;
constexpr int kStraightSteps = 16;
constexpr int kTripletSteps = 12;

[[noreturn]] void refuse(const Score& score, std::string_view lane, const std::string& what) {
    throw std::invalid_argument("score " + std::string(score.key) + ", lane " +
                                std::string(lane) + ": " + what);
}

double weight_of(char symbol) {
    switch (symbol) {
        case 'x': return kAccent;
        case 'o': return kNormal;
        case 'g': return kGhost;
        default: return 0.0;
    }
}

// The bars of a grid, split at " |".
std::vector<std::string_view> bars_of(std::string_view grid) {
    std::vector<std::string_view> bars;
    for (;;) {
        const std::size_t cut = grid.find(" |");
        bars.push_back(grid.substr(0, cut));
        if (cut == std::string_view::npos) return bars;
        grid.remove_prefix(cut + 2);
    }
}

// The fallback order, written once: each role takes the lanes of the first
// tier that the groove has. A tier is a set of sounds; the later tiers are
// the nearest stand-ins for the sound the role names.
using Tier = std::vector<Sound>;
struct RoleRule {
    std::vector<Hit> Roles::*role;
    std::vector<Tier> tiers;
};

const std::vector<RoleRule>& role_rules() {
    using enum Sound;
    static const std::vector<RoleRule> rules = {
        // Every style has a kick; the rest of the chain keeps the rule total.
        {&Roles::kick, {{kick}, {bass}, {tom}, {perc}}},
        // Side accents: snare or clap; else the timeline a band phrases
        // against (clave, bell, cowbell), over which a rim runs as time;
        // else the rim as a cross-stick, other percussion, toms, the cymbals,
        // the bass. A bare kick pulse has none of these and keeps no backbeat.
        {&Roles::backbeat, {{backbeat}, {wood_metal}, {rim}, {perc}, {tom}, {cymbal}, {bass}}},
        // Upper-percussion detail: hats, ride, crash, shaker; else the
        // running figures (rim, perc) that keep time beneath a timeline, then
        // the timeline itself, the snare and clap, the toms, the kick.
        {&Roles::hats, {{cymbal}, {rim, perc}, {wood_metal}, {backbeat}, {tom}, {kick}}},
        // Low notes: bass, log drum, rumble; else the kick and the toms.
        {&Roles::bass, {{bass}, {kick, tom}}},
        {&Roles::percussion, {{kick, backbeat, rim, cymbal, wood_metal, perc, tom}}},
        {&Roles::all, {{kick, backbeat, rim, cymbal, wood_metal, perc, tom, bass}}},
    };
    return rules;
}

}  // namespace

std::vector<Hit> lane_hits(const Groove& groove, const std::vector<Sound>& sounds) {
    std::map<int, double> strongest;
    for (const Lane& lane : groove.lanes) {
        if (std::find(sounds.begin(), sounds.end(), sound_of(lane.name)) == sounds.end()) continue;
        for (const Hit& hit : lane.hits) {
            double& w = strongest[hit.pip];
            w = std::max(w, hit.weight);
        }
    }
    std::vector<Hit> hits;
    for (const auto& [pip, weight] : strongest) hits.push_back({pip, weight});
    return hits;
}

Sound sound_of(std::string_view lane) {
    static const std::map<std::string_view, Sound> kSounds = {
        {"kick", Sound::kick},         {"break kick", Sound::kick},
        {"snare", Sound::backbeat},    {"clap", Sound::backbeat},
        {"rim", Sound::rim},           {"hat", Sound::cymbal},
        {"open hat", Sound::cymbal},   {"ride", Sound::cymbal},
        {"crash", Sound::cymbal},      {"shaker", Sound::cymbal},
        {"clave", Sound::wood_metal},  {"bell", Sound::wood_metal},
        {"cowbell", Sound::wood_metal}, {"perc", Sound::perc},
        {"tom", Sound::tom},           {"low tom", Sound::tom},
        {"high tom", Sound::tom},      {"bass", Sound::bass},
        {"log drum", Sound::bass},     {"rumble", Sound::bass},
    };
    const auto found = kSounds.find(lane);
    if (found == kSounds.end()) {
        throw std::invalid_argument("unknown lane sound " + std::string(lane));
    }
    return found->second;
}

Groove parse_groove(const Score& score) {
    Groove groove{std::string(score.key), score.bars * kPipsPerBar, {}};
    const int swing_delay = static_cast<int>(std::lround(score.swing * 16.0));
    for (const LaneScore& written : score.lanes) {
        Lane lane;
        std::string_view name = written.name;
        if (name.ends_with(kTripletMark)) {
            lane.triplet = true;
            name.remove_suffix(kTripletMark.size());
        }
        lane.name = std::string(name);
        sound_of(lane.name);  // refuses a lane that names no known sound
        const std::vector<std::string_view> bars = bars_of(written.grid);
        if (static_cast<int>(bars.size()) != score.bars) {
            refuse(score, written.name,
                   std::to_string(bars.size()) + " bars where the score has " +
                       std::to_string(score.bars));
        }
        const int steps = lane.triplet ? kTripletSteps : kStraightSteps;
        for (int bar = 0; bar < score.bars; ++bar) {
            const std::string_view cells = bars[static_cast<std::size_t>(bar)];
            if (static_cast<int>(cells.size()) != steps) {
                refuse(score, written.name,
                       "bar " + std::to_string(bar + 1) + " has " + std::to_string(cells.size()) +
                           " steps, not " + std::to_string(steps));
            }
            for (int s = 0; s < steps; ++s) {
                const char symbol = cells[static_cast<std::size_t>(s)];
                if (symbol == '.') continue;
                const double weight = weight_of(symbol);
                if (weight == 0.0) refuse(score, written.name, std::string("symbol ") + symbol);
                const int offset =
                    lane.triplet ? static_cast<int>(std::lround(kPipsPerBar * s / static_cast<double>(steps)))
                                 : 16 * s + (s % 2 == 1 ? swing_delay : 0);
                lane.hits.push_back({bar * kPipsPerBar + offset, weight});
            }
        }
        groove.lanes.push_back(std::move(lane));
    }
    return groove;
}

Roles resolve_roles(const Groove& groove) {
    Roles roles;
    for (const RoleRule& rule : role_rules()) {
        for (const Tier& tier : rule.tiers) {
            std::vector<Hit> hits = lane_hits(groove, tier);
            if (!hits.empty()) {
                roles.*rule.role = std::move(hits);
                break;
            }
        }
    }
    return roles;
}

}  // namespace gen::beat
