// Closed corkscrew: two turns a bar round a leaning axis, one from each of
// beats 1 and 3, while depth rides one wave a bar; within each turn the coil
// hurries where the score is dense. Kicks, backbeats and hats swell the
// radius by their weight, and a bar's whole score against the loop's widens
// or narrows it (eased across the bar line), so that a break, with fewer
// hits, draws the coil in; a bar's depth wave is as deep as its drums weigh
// against the loop's, low notes heave it and every hit twists it round a
// cycle that stronger hits leap along, afresh in every bar. A loop whose bars differ drifts once in
// depth over the phrase, so that it does not move like its own bars in
// another order.
#include "beat_shaping.hpp"

namespace gen::beat {

Rows beat_corkscrew(const BeatInput& in) {
    constexpr int kBar = 256;
    const int period = in.period;
    const Track pace = anchored_pace(in.roles.all, period, kBar / 2, 0.025, 10.0);
    // Kick, backbeat and hats each add their own swell, so a hit that doubles
    // another on one pip widens the coil further.
    Track swell = swells_after(in.roles.kick, period, 8.0, 24.0);
    for (const auto* role : {&in.roles.backbeat, &in.roles.hats}) {
        const Track more = swells_after(*role, period, 8.0, 24.0);
        for (std::size_t p = 0; p < swell.size(); ++p) swell[p] += more[p];
    }
    const Track twist =
        swells_after(in.roles.all, period, 5.0, 14.0, cycling_sides_by_bar(in.roles.all));
    const Track heave = swells_after(in.roles.bass, period, 8.0, 40.0);
    const std::vector<double> drums = relative_to_mean(
        weight_per_span(merge_hits(in.roles.kick, backbeat_or_answer(in.roles)), period, kBar));
    std::vector<double> weight(static_cast<std::size_t>(period / kBar), 0.0);
    for (const Lane& lane : in.groove.lanes) {
        const std::vector<double> more = weight_per_span(lane.hits, period, kBar);
        for (std::size_t b = 0; b < weight.size(); ++b) weight[b] += more[b];
    }
    const std::vector<double> hits = relative_to_mean(weight);
    // A bar a tenth lighter than the loop's mean coils a seventh tighter.
    Track girth(swell.size());
    for (std::size_t p = 0; p < girth.size(); ++p) {
        girth[p] = std::clamp(1.0 + 1.5 * (hits[p / kBar] - 1.0), 0.6, 1.3);
    }
    girth = smoothed(girth, 24);
    bool bars_differ = false;
    for (int bar = 1; bar < period / kBar; ++bar) {
        bars_differ = bars_differ || !repeats_previous_bar(in.groove, bar);
    }
    Track x(swell.size());
    Track y(swell.size());
    Track z(swell.size());
    for (std::size_t p = 0; p < swell.size(); ++p) {
        const int pip = static_cast<int>(p);
        const double turn = kTwoPi * pace[p];
        const double wave = phase_angle(pip % kBar, kBar);
        const double radius = soft_ceiling((0.2 + soft_limit(0.3 * swell[p], 0.56)) * girth[p], 0.66, 0.78);
        // The coil's axis leans a little, so that the near and the far turn
        // part in the x-y view.
        const double lean = 0.15 * std::sin(wave);
        x[p] = lean + radius * std::cos(turn);
        y[p] = radius * std::sin(turn);
        const double depth = 0.3 * std::clamp(drums[static_cast<std::size_t>(pip / kBar)], 0.3, 1.5);
        z[p] = depth * std::sin(wave) + 0.2 * soft_limit(heave[p], 1.0) +
               0.3 * soft_limit(twist[p], 1.0) + (bars_differ ? phrase_wave(pip, period, 0.1) : 0.0);
    }
    return beat_rows(in.dimensions, x, y, tamed(z));
}

}  // namespace gen::beat
