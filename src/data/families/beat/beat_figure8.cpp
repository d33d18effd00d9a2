// Woven figure eight: one eight a bar with its lobes on beats 1 and 3 and its
// crossings between them, which backbeats lift; each lobe is as wide as the
// kicks it carries, and wider still in a bar whose fill departs from the
// groove's usual bar; between two beats the eight hurries through the busy part and
// lingers in the quiet one, but it reaches every lobe on its beat. Every
// lane's full hits weave depth to alternate sides and kicks push it.
#include "beat_shaping.hpp"

namespace gen::beat {

Rows beat_figure8(const BeatInput& in) {
    constexpr int kHalfBar = 128;
    const int period = in.period;
    const int lobes = period / kHalfBar;
    // Half bars counted from 0; the eight stands at a lobe on each whole count.
    const Track pace = anchored_pace(in.roles.all, period, kHalfBar, 0.06, 32.0);
    // Lobe k is centred on pip 128 k and spans the half bar either side.
    const std::vector<double> kicks = weight_per_span(in.roles.kick, period, kHalfBar, kHalfBar / 2);
    const std::vector<double> fill = weight_per_span(departing_hits(in.groove), period, 2 * kHalfBar);
    std::vector<double> width(static_cast<std::size_t>(lobes));
    for (std::size_t k = 0; k < width.size(); ++k) {
        width[k] = (0.3 + 0.08 * std::min(kicks[k], 2.0)) * (1.0 + 1.5 * std::min(fill[k / 2], 0.6));
    }
    // The hits of a fill also toss the eight up and forward, within their bar.
    Track toss(static_cast<std::size_t>(period), 0.0);
    add_swells(toss, departing_hits(in.groove), 10.0, [](const Hit&, std::size_t) { return 24.0; },
               [](const Hit& h, std::size_t) { return h.weight; });
    const Track push = swells_after(in.roles.kick, period, 10.0, 40.0);
    const Track lift = swells_after(in.roles.backbeat, period, 8.0, 32.0);
    const Track weave = alternating_detail(in.groove, period, 7.0, 14.0);
    Track x(pace.size());
    Track y(pace.size());
    Track z(pace.size());
    for (std::size_t p = 0; p < pace.size(); ++p) {
        const int pip = static_cast<int>(p);
        const auto k = static_cast<std::size_t>(pace[p]);
        const double part = pace[p] - static_cast<double>(k);
        // A lobe keeps its width while it is out; the width changes to the
        // next lobe's only about the crossing, where x passes through 0.
        const double next = smoothstep(std::clamp((part - 0.38) / 0.24, 0.0, 1.0));
        const double size = width[k] * (1.0 - next) + width[(k + 1) % width.size()] * next;
        const double turn = kPi * pace[p] - kPi / 2.0;
        x[p] = size * std::sin(turn);
        y[p] = 0.6 * size * std::sin(2.0 * turn) + 0.45 * soft_limit(lift[p], 1.0) - 0.15 +
               0.5 * soft_limit(toss[p], 1.0);
        const double drift = phrase_wave(pip, period, 0.1);
        z[p] = 0.3 * std::cos(turn) + drift + 0.22 * soft_limit(weave[p], 1.0) -
               0.2 * soft_limit(push[p], 1.0) + 0.5 * soft_limit(toss[p], 1.0);
    }
    y = tamed(y);
    z = tamed(z);
    soft_limit(y, 0.9);
    soft_limit(z, 0.9);
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
