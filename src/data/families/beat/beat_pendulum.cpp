// Weighted pendulum: a bob on a hanging arc reaches the end of a swing on
// every beat, one side and then the other, and passes the bottom between;
// within each beat it hurries where the score is dense and lingers where it
// is quiet. Each swing reaches as far as the hits around its beat weigh, and
// further through a bar whose fill departs from the groove's usual bar, and
// the bob rises high at the ends of a wide swing. The backbeat jolts it up,
// full hits nudge it in depth
// and the pivot drifts once round the loop.
#include "beat_shaping.hpp"

namespace gen::beat {

Rows beat_pendulum(const BeatInput& in) {
    constexpr int kBeat = kPipsPerBeat;
    const int period = in.period;
    // Beats counted from 0; the bob is at the end of a swing on each whole count.
    const Track pace = anchored_pace(in.roles.all, period, kBeat, 0.02, 12.0);
    // Every lane counts, so that a hit doubled by another lane weighs twice.
    std::vector<double> weight(static_cast<std::size_t>(period / kBeat), 0.0);
    for (const Lane& lane : in.groove.lanes) {
        const std::vector<double> more = weight_per_span(lane.hits, period, kBeat, kBeat / 2);
        for (std::size_t j = 0; j < weight.size(); ++j) weight[j] += more[j];
    }
    const std::vector<double> fill = weight_per_span(departing_hits(in.groove), period, 4 * kBeat);
    std::vector<double> reach(weight.size());
    for (std::size_t j = 0; j < reach.size(); ++j) {
        const double swing = 0.65 + 0.65 * soft_limit(weight[j] / 5.0, 1.0);
        reach[j] = std::min(1.55, swing * (1.0 + 1.4 * std::min(fill[j / 4], 0.5)));
    }
    const Track nudge = alternating_detail(in.groove, period, 7.0, 14.0);
    const Track jolt = swells_after(backbeat_or_answer(in.roles), period, 6.0, 26.0);
    Track x(pace.size());
    Track y(pace.size());
    Track z(pace.size());
    for (std::size_t p = 0; p < pace.size(); ++p) {
        const int pip = static_cast<int>(p);
        const auto j = static_cast<std::size_t>(pace[p]);
        const double part = pace[p] - static_cast<double>(j);
        // A swing keeps its reach about its end and changes to the next
        // swing's only about the bottom.
        const double next = smoothstep(std::clamp((part - 0.38) / 0.24, 0.0, 1.0));
        const double amplitude = reach[j] * (1.0 - next) + reach[(j + 1) % reach.size()] * next;
        const double turn = kPi * pace[p];
        const double angle = amplitude * std::cos(turn);
        x[p] = 0.78 * std::sin(angle) + phrase_wave(pip, period, 0.08, kPi / 2.0);
        y[p] = -0.85 + 1.3 * (1.0 - std::cos(angle)) + 0.25 * soft_limit(jolt[p], 1.0);
        z[p] = 0.3 * amplitude * std::sin(turn) - 0.36 * soft_limit(nudge[p], 1.0);
    }
    y = tamed(y);
    soft_limit(y, 0.9);
    return beat_rows(in.dimensions, x, y, tamed(z));
}

}  // namespace gen::beat
