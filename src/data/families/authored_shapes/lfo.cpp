// lfo_: slow control shapes, the movement counterpart of a low-frequency
// oscillator: sines and their closed-form relatives, authored sweeps, gates,
// stairs and pumps, short peak-aligned bursts and a seeded smooth drift.
#include <algorithm>
#include <cmath>
#include <string>

#include "families.hpp"

namespace gen {
namespace {

// One lane per pip: f(p) in x, y and z left at rest.
template <typename F>
Rows x_lane(int period, F f) {
    Rows rows(static_cast<std::size_t>(period));
    for (int p = 0; p < period; ++p) rows[static_cast<std::size_t>(p)].x = f(p);
    return rows;
}

// Half a cosine from `from` to `to` as s runs over [0, 1]: rests at both ends.
double cosine_ease(double from, double to, double s) {
    return from + (to - from) * 0.5 * (1.0 - std::cos(kPi * std::clamp(s, 0.0, 1.0)));
}

// A raised-cosine gesture that rises over `rise` pips to 1 at `centre` and
// falls over `fall` pips, measured around the loop; the peak stays on centre.
double skew_bump(double pip, double centre, double rise, double fall, double period) {
    const double d = cyclic_delta(centre, pip, period);
    const double half_width = d < 0.0 ? rise : fall;
    if (std::fabs(d) >= half_width) return 0.0;
    return 0.5 * (1.0 + std::cos(kPi * d / half_width));
}

// A skewed triangle of unit height over one cycle u in [0, 1): it climbs from
// its trough at u = 0.8 - 1 to its peak at u = 0.5 and drops back in the
// remaining 0.3 of the cycle.
double skewed_triangle(double u) {
    constexpr double kTrough = -0.2;
    constexpr double kPeak = 0.5;
    double v = u - std::floor(u);
    if (v >= 1.0 + kTrough) v -= 1.0;
    if (v <= kPeak) return -1.0 + 2.0 * (v - kTrough) / (kPeak - kTrough);
    return 1.0 - 2.0 * (v - kPeak) / (1.0 + kTrough - kPeak);
}

}  // namespace

Rows lfo_breathe(int period) {
    return sample_curve(period, [](double t) { return Row{0.8 * std::sin(t), 0.0, 0.0}; });
}

Rows lfo_surge(int period) {
    // Three quarters of the loop sweep up from the trough, the last quarter
    // recovers; both legs leave and arrive at rest, so the reset is rounded.
    const double turn = 0.72 * period;
    constexpr double kLow = -0.72;
    constexpr double kHigh = 0.86;
    return x_lane(period, [&](int p) {
        if (p <= turn) {
            // The sweep gathers pace early and rounds over slowly at the top.
            const double s = p / turn;
            return cosine_ease(kLow, kHigh, s * (1.4 - 0.4 * s));
        }
        return cosine_ease(kHigh, kLow, (p - turn) / (period - turn));
    });
}

Rows lfo_soft_gate(int period) {
    // Open and closed dwells of about a beat and a half, joined by 28-pip
    // eased transitions.
    const double q = period / 256.0;
    return keyframe_path({{0.0, {0.7, 0, 0}},
                          {100.0 * q, {0.7, 0, 0}},
                          {128.0 * q, {-0.66, 0, 0}},
                          {228.0 * q, {-0.66, 0, 0}}},
                         period);
}

Rows lfo_double_pump(int period) {
    // Only y moves: a strong pump, a weaker one, then a long shallow breath.
    const double n = period;
    const double q = n / 256.0;
    constexpr double kRest = -0.1;
    Rows rows(static_cast<std::size_t>(period));
    for (int p = 0; p < period; ++p) {
        rows[static_cast<std::size_t>(p)].y =
            kRest + 0.96 * skew_bump(p, 40 * q, 26 * q, 44 * q, n) +
            0.62 * skew_bump(p, 116 * q, 24 * q, 40 * q, n) -
            0.16 * skew_bump(p, 206 * q, 50 * q, 58 * q, n);
    }
    return rows;
}

Rows lfo_ratchet(int period) {
    // Four eighth-note hits with falling accents, then two beats of rest. Each
    // hit pushes right and kicks alternately up and down, peaking on its pip.
    const double q = period / 256.0;
    const std::vector<Onset> hits = {
        {0 * q, 1.0, 0.9}, {32 * q, 1.0, 0.68}, {64 * q, 1.0, 0.48}, {96 * q, 1.0, 0.3}};
    std::vector<Onset> kicks = hits;
    for (std::size_t i = 0; i < kicks.size(); ++i) {
        kicks[i].side = i % 2 == 0 ? 0.5 : -0.5;
    }
    const double half_width = 20 * q;
    const auto x = render_score_lane(hits, half_width, period);
    const auto y = render_score_lane(kicks, half_width, period);
    Rows rows(static_cast<std::size_t>(period));
    for (std::size_t p = 0; p < rows.size(); ++p) rows[p] = {x[p], y[p], 0.0};
    return rows;
}

Rows lfo_glide_stair(int period) {
    // Five 18-pip glides, each followed by a 10-pip landing, climb from -0.8
    // to 0.8; an 80-pip glide brings the point back to the bottom step.
    const double q = period / 256.0;
    constexpr int kSteps = 5;
    auto level = [](int i) { return -0.8 + 1.6 * i / kSteps; };
    std::vector<Key> keys = {{0.0, {level(0), 0, 0}}};
    double pip = 0.0;
    for (int i = 1; i <= kSteps; ++i) {
        pip += 18 * q;
        keys.push_back({pip, {level(i), 0, 0}});
        pip += i < kSteps ? 10 * q : 20 * q;  // the top landing is held a little longer
        keys.push_back({pip, {level(i), 0, 0}});
    }
    keys.push_back({pip + 80 * q, {level(0), 0, 0}});
    return keyframe_path(keys, period);
}

Rows lfo_morph(int period) {
    // Four cycles of a sine turn into a skewed triangle by mid-phrase and back
    // again; y runs the same blend a quarter cycle behind, so the path is an
    // ellipse that tilts into a lopsided quadrilateral.
    return sample_curve(period, [](double t) {
        const double blend = 0.5 * (1.0 - std::cos(t));
        auto shape = [&](double phase) {
            return (1.0 - blend) * std::sin(phase) +
                   blend * skewed_triangle(phase / kTwoPi);
        };
        const double phase = 4.0 * t;
        return Row{0.8 * shape(phase), 0.55 * shape(phase - kPi / 2.0), 0.0};
    });
}

Rows lfo_flower(int period) {
    return sample_curve(period, [](double t) {
        return Row{0.56 * std::cos(t) - 0.28 * std::cos(2.0 * t),
                   0.56 * std::sin(t) + 0.28 * std::sin(2.0 * t), 0.0};
    });
}

Rows lfo_twin_swell(int period) {
    // Vertical swells over the first and second four beats, the second one
    // shallower; as each swell ebbs the point answers sideways, right then left.
    const double n = period;
    const double q = n / 512.0;
    constexpr double kRest = -0.25;
    Rows rows(static_cast<std::size_t>(period));
    for (int p = 0; p < period; ++p) {
        rows[static_cast<std::size_t>(p)] = {
            0.3 * skew_bump(p, 232 * q, 72 * q, 88 * q, n) -
                0.2 * skew_bump(p, 478 * q, 64 * q, 80 * q, n),
            kRest + 1.1 * skew_bump(p, 120 * q, 112 * q, 128 * q, n) +
                0.7 * skew_bump(p, 360 * q, 100 * q, 120 * q, n),
            0.0};
    }
    return rows;
}

Rows lfo_pulse_hold(int period) {
    // The pulse leaves rest just before the loop point, holds for more than a
    // beat, falls through rest into a smaller recoil and settles.
    const double q = period / 256.0;
    return keyframe_path({{32 * q, {0.85, 0, 0}},
                          {112 * q, {0.85, 0, 0}},
                          {150 * q, {-0.36, 0, 0}},
                          {190 * q, {0.0, 0, 0}},
                          {236 * q, {0.0, 0, 0}}},
                         period);
}

Rows lfo_sweep_ratchet(int period) {
    // Five beats of slow sweep left to right; on the way back three vertical
    // ratchets, each smaller than the last, peak on their own eighth notes.
    const double q = period / 512.0;
    const Rows sweep = keyframe_path({{0, {-0.78, 0, 0}}, {320 * q, {0.78, 0, 0}}}, period);
    const auto ratchets =
        render_score_lane({{352 * q, 1.0, 0.8}, {400 * q, 1.0, 0.52}, {448 * q, 1.0, 0.3}},
                          24 * q, period);
    Rows rows(static_cast<std::size_t>(period));
    for (std::size_t p = 0; p < rows.size(); ++p) rows[p] = {sweep[p].x, ratchets[p], 0.0};
    return rows;
}

Rows lfo_triplet_wobble(int period) {
    return sample_curve(period, [](double t) {
        return Row{(0.5525 - 0.255 * std::cos(t)) * std::sin(12.0 * t), 0.22 * std::sin(t), 0.0};
    });
}

Rows lfo_breathing_orbit(int period) {
    return sample_curve(period, [](double t) {
        return Row{0.67 * std::cos(t) + 0.11 * std::cos(3.0 * t),
                   0.39 * std::sin(t) + 0.09 * std::sin(3.0 * t), 0.0};
    });
}

Rows lfo_seeded_drift(int period) {
    // Each lane passes through sixteen hashed control values, one a beat (the
    // y lane half a beat later), on a closed spline: no generator state, so
    // any pip can be evaluated on its own and the loop closes exactly.
    constexpr int kKnots = 16;
    const double spacing = static_cast<double>(period) / kKnots;
    auto lane = [&](char axis, double offset) {
        std::vector<Key> keys;
        for (int i = 0; i < kKnots; ++i) {
            const std::string key =
                std::string("lfo_seeded_drift/") + axis + "/" + std::to_string(i);
            keys.push_back({offset + i * spacing, {0.75 * hashed_unit(key), 0, 0}});
        }
        return closed_spline(keys, period);
    };
    const Rows x = lane('x', 0.0);
    const Rows y = lane('y', spacing / 2.0);
    Rows rows(static_cast<std::size_t>(period));
    for (std::size_t p = 0; p < rows.size(); ++p) rows[p] = {x[p].x, y[p].x, 0.0};
    return rows;
}

Rows lfo_pendulum_dwell(int period) {
    return sample_curve(period, [](double t) {
        return Row{0.78 * std::tanh(2.8 * std::sin(t)) / std::tanh(2.8), 0.22 * std::cos(2.0 * t),
                   0.0};
    });
}

Rows lfo_reverse_swell(int period) {
    // y: a five-beat rise that starts imperceptibly and accelerates into a
    // rounded crest, a softened fall over three quarters of a beat and two
    // aftershocks, the second half the first. x leans into the rise and each
    // aftershock kicks sideways, alternately.
    const double n = period;
    const double q = n / 512.0;
    const double crest = 320 * q;
    const double landed = crest + 48 * q;
    constexpr double kRest = -0.45;
    constexpr double kTop = 0.9;
    constexpr double kLeanFrom = -0.25;
    constexpr double kLeanTo = 0.4;
    Rows rows(static_cast<std::size_t>(period));
    for (int p = 0; p < period; ++p) {
        double y, x;
        if (p <= crest) {
            const double s = p / crest;
            y = cosine_ease(kRest, kTop, s * s);
            x = cosine_ease(kLeanFrom, kLeanTo, s);
        } else {
            const double s = (p - crest) / (landed - crest);
            y = ease_between(kTop, kRest, s);
            x = ease_between(kLeanTo, kLeanFrom, (p - crest) / (64 * q));
        }
        y += 0.42 * skew_bump(p, 410 * q, 30 * q, 34 * q, n) +
             0.21 * skew_bump(p, 466 * q, 24 * q, 30 * q, n);
        x += 0.22 * skew_bump(p, 410 * q, 30 * q, 34 * q, n) -
             0.11 * skew_bump(p, 466 * q, 24 * q, 30 * q, n);
        rows[static_cast<std::size_t>(p)] = {x, y, 0.0};
    }
    return rows;
}

}  // namespace gen
