// akwf_: single-cycle waveforms slowed to a four-beat position loop, each
// built here by additive synthesis from a handful of harmonics so that it is
// smooth all the way round, and started on its zero crossing.
#include <cmath>

#include "../families.hpp"

namespace gen {
namespace {

// Every waveform is scaled so that its largest excursion is this.
constexpr double kPeak = 0.88;

// Lanczos sigma factor of harmonic k in a sum truncated after `last`: tames
// the ringing at the fast edges of saws and squares.
double sigma(int k, int last) {
    const double x = kPi * k / (last + 1);
    return std::sin(x) / x;
}

// A rising saw of `last` harmonics whose fast falling edge crosses zero at
// t = 0.
double band_limited_saw(double t, int last) {
    double sum = 0.0;
    for (int k = 1; k <= last; ++k) sum -= sigma(k, last) * std::sin(k * t) / k;
    return sum;
}

Rows waveform(int period, double (*wave)(double t)) {
    return sample_scaled_curve(period, period, kPeak,
                               [wave](double t) { return Row{wave(t), 0.0, 0.0}; });
}

}  // namespace

Rows akwf_round_saw(int period) {
    // Four harmonics leave every corner round; the cos t - 1 term bends the
    // ramp so it lingers at the bottom and accelerates into the crest.
    return waveform(period,
                    [](double t) { return band_limited_saw(t, 4) + 0.35 * (std::cos(t) - 1.0); });
}

Rows akwf_quick_return(int period) {
    // Ten harmonics: a long straight forward stroke and a short rounded return.
    return waveform(period, [](double t) { return band_limited_saw(t, 10); });
}

Rows akwf_multi_lobe(int period) {
    // Second, third and fourth harmonics with their own phases split the
    // cycle into two unequal humps above, a deep trough, a small rebound and a
    // second trough; each term is shifted to pass through zero at t = 0.
    return waveform(period, [](double t) {
        auto partial = [t](double gain, int k, double phase) {
            return gain * (std::sin(k * t + phase) - std::sin(phase));
        };
        return partial(1.0, 1, 0.0) + partial(-0.45, 2, 0.4) + partial(0.7, 3, 0.0) +
               partial(0.3, 4, 1.0);
    });
}

Rows akwf_plateau(int period) {
    // Odd harmonics up to the seventh give a rounded square; the small second
    // harmonic tilts both plateaus downwards, like a coupled square that droops.
    return waveform(period, [](double t) {
        double sum = 0.0;
        for (int k = 1; k <= 7; k += 2) sum += sigma(k, 7) * std::sin(k * t) / k;
        return sum + 0.1 * std::sin(2.0 * t);
    });
}

}  // namespace gen
