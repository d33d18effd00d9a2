// Rounded corner tour: the point goes round a square with softened corners,
// one lap a bar, its phase advancing with the weight of the score so it
// hurries through dense passages and lingers in sparse ones; the corners
// alternate near and far, every hit presses the point outward a little, and
// full hits ripple depth to alternate sides.
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_box(const BeatInput& in) {
    const int period = in.period;
    const double bars = period / 256.0;
    const double corner = 2.2;  // larger is squarer
    const double edge = 0.66 / std::tanh(corner);
    const std::vector<double> phase = score_phase(in.roles.all, period, 0.01, 12.0);
    const std::vector<double> press = layered_swells(in.groove, period, 4.0, 18.0);
    const std::vector<double> ripple = alternating_detail(in.groove, period, 5.0, 14.0);
    std::vector<double> x(phase.size());
    std::vector<double> y(phase.size());
    std::vector<double> z(phase.size());
    for (std::size_t p = 0; p < phase.size(); ++p) {
        const double turn = kTwoPi * bars * phase[p] + kPi / 4.0;
        const double out = 1.0 + 0.25 * soften(press[p] / 1.5, 1.0);
        x[p] = out * edge * std::tanh(corner * std::cos(turn));
        y[p] = out * edge * std::tanh(corner * std::sin(turn));
        z[p] = 0.42 * std::sin(2.0 * turn) + 0.15 * std::cos(phase_angle(static_cast<int>(p), period)) +
               0.25 * soften(ripple[p], 1.0);
    }
    return rows_within(in.dimensions, x, y, z);
}

}  // namespace gen::beat
