// Breathing spiral: two turns a bar, one from each of beats 1 and 3, out from
// a tight centre on the bar line to the widest point on beat 3 and back in,
// depth following the breath, so that every bar line passes the same tight,
// continuous seam. Within each turn the spiral hurries where the score is
// dense; each bar opens as wide as its hits weigh against the loop's, so that
// a break breathes shallow and a fill deep; kicks push the radius out and
// backbeats draw it in and forward, every hit nudges it and full hits ripple
// depth, afresh in every bar. The centre of a loop whose bars differ drifts
// once round over the phrase, so that it does not move like its own bars in
// another order.
#include "beat_shaping.hpp"

namespace gen::beat {

Rows beat_spiral(const BeatInput& in) {
    constexpr double kRounding = 0.97;
    constexpr int kHalfBar = 128;
    const int period = in.period;
    const Track pace = anchored_pace(in.roles.all, period, kHalfBar, 0.012, 10.0);
    const Track wobble = swells_after(in.roles.all, period, 6.0, 18.0, alternate);
    // Kicks push the spiral out, backbeats draw it in.
    Track push = swells_after(in.roles.kick, period, 6.0, 26.0);
    const Track draw = swells_after(in.roles.backbeat, period, 6.0, 26.0);
    for (std::size_t p = 0; p < push.size(); ++p) push[p] -= 0.6 * draw[p];
    const Track ripple = alternating_detail_by_bar(in.groove, period, 6.0, 12.0);
    std::vector<double> weight(static_cast<std::size_t>(period / (2 * kHalfBar)), 0.0);
    for (const Lane& lane : in.groove.lanes) {
        const std::vector<double> more = weight_per_span(lane.hits, period, 2 * kHalfBar);
        for (std::size_t k = 0; k < weight.size(); ++k) weight[k] += more[k];
    }
    const std::vector<double> opening = relative_to_mean(weight);
    bool bars_differ = false;
    for (int bar = 1; bar < period / 256; ++bar) {
        bars_differ = bars_differ || !repeats_previous_bar(in.groove, bar);
    }
    Track x(pace.size());
    Track y(pace.size());
    Track z(pace.size());
    for (std::size_t p = 0; p < pace.size(); ++p) {
        const int pip = static_cast<int>(p);
        // The bar's part, 0 to 1, anchored at its half: a triangle wave with
        // rounded tips, 0 on the bar line and 1 on beat 3.
        const double part = std::fmod(pace[p], 2.0) / 2.0;
        const double breath =
            0.5 - 0.5 * std::asin(kRounding * std::cos(kTwoPi * part)) / std::asin(kRounding);
        // A bar a seventh lighter than the loop's mean opens a third less.
        const double relative = opening[static_cast<std::size_t>(pace[p] / 2.0)];
        const double open = 0.3 + 0.3 * std::clamp(1.0 + 2.5 * (relative - 1.0), 0.3, 1.6);
        // The hits' nudges fade towards the tight centre, so that the path
        // always turns forward round it.
        const double nudge =
            (0.06 * soft_limit(wobble[p], 1.0) + 0.2 * soft_limit(push[p], 1.0)) * (0.25 + 0.75 * breath);
        const double radius = soft_ceiling(0.15 + open * breath + nudge, 0.7, 0.84);
        const double turn = kTwoPi * pace[p];
        const double drift = bars_differ ? 1.0 : 0.0;
        x[p] = radius * std::cos(turn) + drift * phrase_wave(pip, period, 0.06, kPi / 2.0);
        y[p] = radius * std::sin(turn) + drift * phrase_wave(pip, period, 0.06);
        z[p] = 0.6 * open * breath - 0.35 + 0.3 * soft_limit(ripple[p], 1.0) +
               0.2 * soft_limit(draw[p], 1.0) + drift * phrase_wave(pip, period, 0.12);
    }
    z = tamed(z);
    soft_limit(z, 0.9);
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
