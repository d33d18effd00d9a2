// Rounded corner tour: one lap a bar round a square with softened corners, a
// corner on every beat. Within each beat the phase travels the side at the
// pace of that beat's hits, lingering where it is quiet; along the side a
// kick presses the point outward, the backbeat pulls it in (it wins where
// both sound) and each leans it near or far, hats ripple its depth (an
// accent among them lifts it), the
// rest of the score adds its texture in depth, and a fill (the hits that set a bar
// apart from the groove's prevailing bar) throws it out and through depth.
// A corner stands near on a kick, far on a backbeat and in between on a
// beat with neither, and depth drifts once round the loop.
#include <algorithm>

#include "beat_fill.hpp"
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_box(const BeatInput& in) {
    const Roles& r = in.roles;
    const int period = in.period;
    const auto size = static_cast<std::size_t>(period);
    const double corner = 2.2;  // larger is squarer
    const double edge = 0.48 / std::tanh(corner);
    const std::vector<Hit> hats = without(r.hats, merge_hits(r.kick, r.backbeat));
    const std::vector<Hit> fills = fill_hits(in.groove);
    const std::vector<Hit> kicks = without(r.kick, r.backbeat);

    // The pace along each side: a calm share and one for every hit nearby,
    // the drums most; each beat's pace is then scaled to cover one side.
    Track pace(size, 0.08);
    add_bumps(pace, r.kick, 8.0, [](const Hit& h, std::size_t) { return h.weight; });
    add_bumps(pace, r.backbeat, 8.0, [](const Hit& h, std::size_t) { return 0.8 * h.weight; });
    add_bumps(pace, hats, 8.0, [](const Hit& h, std::size_t) { return 0.5 * h.weight; });
    add_bumps(pace, fills, 8.0, [](const Hit& h, std::size_t) { return 0.8 * h.weight; });
    Track turn(size);
    for (int beat = 0; beat < period; beat += kPipsPerBeat) {
        double total = 0.0;
        for (int t = 0; t < kPipsPerBeat; ++t) total += pace[static_cast<std::size_t>(beat + t)];
        double run = 0.0;
        for (int t = 0; t < kPipsPerBeat; ++t) {
            const auto p = static_cast<std::size_t>(beat + t);
            turn[p] = kPi / 2.0 * (beat / kPipsPerBeat + run / total) + kPi / 4.0;
            run += pace[p];
        }
    }

    // The depth of each corner, from the drums within a sixteenth of its beat.
    const auto near_beat = [](const std::vector<Hit>& hits, int beat, int period_) {
        return std::any_of(hits.begin(), hits.end(), [&](const Hit& h) {
            const int d = pips_until(beat, h.pip, period_);
            return h.weight > kGhost && (d <= 8 || d >= period_ - 8);
        });
    };
    std::vector<Goal> corners;
    for (int beat = 0; beat < period; beat += kPipsPerBeat) {
        const double depth = near_beat(r.backbeat, beat, period) ? -0.24
                             : near_beat(r.kick, beat, period)   ? 0.24
                                                                 : 0.0;
        corners.push_back({beat, depth});
    }
    const Track corner_depth = eased_goals(corners, period, 48);

    const Track press = swells_after(kicks, period, 4.0, 26.0);
    const Track pull = swells_after(r.backbeat, period, 4.0, 24.0);
    // The drums lean the point: near at a kick, far at the backbeat.
    const std::vector<Hit> drums = merge_hits(kicks, r.backbeat);
    std::vector<double> leans(drums.size());
    for (std::size_t i = 0; i < drums.size(); ++i) leans[i] = has_pip(r.backbeat, drums[i].pip) ? -0.75 : 1.0;
    const Track lean = swells_after(drums, period, 8.0, 30.0, [&](std::size_t i) { return leans[i]; });
    const Track ripple = swells_after(hats, period, 5.0, 12.0, full_hits_alternate(hats));
    const Track throw_out = swells_after(fills, period, 10.0, 18.0);
    const Track plunge = swells_after(fills, period, 10.0, 18.0, burst_sides(fills, period));

    const Track flash = swells_after(accents_of(hats), period, 6.0, 20.0);
    const Texture rest = texture(in, 0.12);

    Track x(size), y(size), z(size);
    for (std::size_t p = 0; p < size; ++p) {
        const int pip = static_cast<int>(p);
        const double out = 1.0 + soft_limit(0.6 * soft_limit(press[p], 1.0) - 0.45 * soft_limit(pull[p], 1.0) +
                                                1.0 * soft_limit(throw_out[p], 1.0),
                                            0.85);
        x[p] = out * edge * std::tanh(corner * std::cos(turn[p]));
        y[p] = out * edge * std::tanh(corner * std::sin(turn[p]));
        const double drift = phrase_wave(pip, period, 0.12, kPi / 2.0);
        z[p] = corner_depth[p] + drift + rest.z[p] + rest.wheel_y[p] + 0.25 * soft_limit(flash[p], 1.0) + 0.2 * soft_limit(ripple[p], 1.0) +
               0.9 * soft_limit(plunge[p], 1.0) +
               0.35 * soft_limit(lean[p], 1.0);
    }
    soft_limit(z, 0.9);
    limit_peaks(x, 0.75, 0.92);
    limit_peaks(y, 0.75, 0.92);
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
