// Rounded corner tour: one lap a bar round a square with softened corners, the
// phase hurrying through dense passages; corners alternate near and far, hits
// press outward, full hits ripple depth, and depth drifts once round the loop.
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_box(const BeatInput& in) {
    const int period = in.period;
    const double bars = period / 256.0;
    const double corner = 2.2;  // larger is squarer
    const double edge = 0.66 / std::tanh(corner);
    const Track phase = score_phase(in.roles.all, period, 0.01, 12.0);
    const Track press = layered_swells_after(in.groove, period, 4.0, 18.0);
    const Track ripple = alternating_detail(in.groove, period, 5.0, 14.0);
    Track x(phase.size());
    Track y(phase.size());
    Track z(phase.size());
    for (std::size_t p = 0; p < phase.size(); ++p) {
        const int pip = static_cast<int>(p);
        const double turn = kTwoPi * bars * phase[p] + kPi / 4.0;
        const double out = 1.0 + 0.25 * soft_limit(press[p] / 1.5, 1.0);
        x[p] = out * edge * std::tanh(corner * std::cos(turn));
        y[p] = out * edge * std::tanh(corner * std::sin(turn));
        const double drift = phrase_wave(pip, period, 0.15, kPi / 2.0);
        z[p] = 0.42 * std::sin(2.0 * turn) + drift + 0.25 * soft_limit(ripple[p], 1.0);
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
