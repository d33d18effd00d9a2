// Weighted pendulum: a bob swings through a low hanging arc, two swings a bar,
// hurrying where the score is dense and swinging wider as recent hits weigh in;
// full hits nudge it in depth and the pivot drifts once round the loop.
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_pendulum(const BeatInput& in) {
    const int period = in.period;
    const double swings = 2.0 * period / 256.0;
    const Track phase = score_phase(in.roles.all, period, 0.02, 12.0);
    const Track nudge = alternating_detail(in.groove, period, 7.0, 14.0);
    const Track energy = layered_swells_after(in.groove, period, 12.0, 64.0);
    Track x(phase.size());
    Track y(phase.size());
    Track z(phase.size());
    for (std::size_t p = 0; p < phase.size(); ++p) {
        const int pip = static_cast<int>(p);
        const double reach = 0.3 + 0.65 * soft_limit(energy[p] / 4.0, 1.0);
        // The loop starts at the end of a swing, where the bob is slowest.
        const double turn = kTwoPi * swings * phase[p] + kPi / 2.0;
        const double angle = 1.25 * reach * std::sin(turn);
        x[p] = 0.78 * std::sin(angle) + phrase_wave(pip, period, 0.08, kPi / 2.0);
        y[p] = -0.72 + 1.1 * (1.0 - std::cos(angle));
        z[p] = 0.45 * reach * std::cos(turn) - 0.34 * soft_limit(nudge[p], 1.0);
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
