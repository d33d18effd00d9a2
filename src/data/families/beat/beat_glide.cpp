// glide: one unbroken loop over the whole phrase, travelled faster where the
// low end is busy (and a little where the hats are). Every low note throws the point outward and up in an
// excursion that lasts as long as the note: the bass where the style has a
// bass lane, else the kick and the toms that carry its low end, a note after
// a long rest throwing furthest, one off the beat lifting it as well, and a
// tom sweeping it through depth. The backbeat nudges it from side to side
// and draws it back, a fill (the hits that set a bar apart from the groove's
// prevailing bar) swings it wide, an accented hat lifts it and the
// full hats sway its depth, and the rest of
// the score ripples it with its texture.
#include <algorithm>
#include <cmath>

#include "beat_fill.hpp"
#include "beat_motion_support.hpp"

namespace gen::beat {

Rows beat_glide(const BeatInput& in) {
    const Roles& r = in.roles;
    const int period = in.period;
    const auto size = static_cast<std::size_t>(period);
    const std::vector<Hit> bass_lane = lane_hits(in.groove, {Sound::bass});
    const std::vector<Hit> toms = lane_hits(in.groove, {Sound::tom});
    const std::vector<Hit> low = bass_lane.empty() ? merge_hits(r.kick, toms) : bass_lane;
    const std::vector<Hit> fills = fill_hits(in.groove);

    Track speed(size, 1.0);
    add_bumps(speed, low, 16.0, [](const Hit& h, std::size_t) { return 0.8 * h.weight; });
    add_bumps(speed, r.hats, 12.0, [](const Hit& h, std::size_t) { return 0.3 * h.weight; });
    add_bumps(speed, fills, 16.0, [](const Hit& h, std::size_t) { return 1.2 * h.weight; });
    const Track travel = angle_from_speed(speed, 1.0);

    // An excursion rises over a sixteenth and falls back over the note's
    // length; it reaches further the longer the rest before the note.
    Track excursion(size, 0.0);
    add_swells(
        excursion, low, 16.0,
        [&](const Hit&, std::size_t i) {
            return std::clamp(static_cast<double>(gap_after(low, i, period)), 16.0, 64.0);
        },
        [&](const Hit& h, std::size_t i) {
            const int rest = gap_after(low, (i + low.size() - 1) % low.size(), period);
            return h.weight * (0.7 + 0.3 * std::min(1.0, rest / 96.0));
        });
    soft_limit(excursion, 1.0);
    // A low note off the beat (a pickup, a syncopation) also lifts the point.
    Track lift(size, 0.0);
    std::vector<Hit> offbeat;
    for (const Hit& h : low) {
        if (h.pip % kPipsPerBeat != 0) offbeat.push_back(h);
    }
    add_swells(lift, offbeat, 12.0, [](const Hit&, std::size_t) { return 24.0; },
               [](const Hit& h, std::size_t) { return h.weight; });
    const Track sweep = swells_after(toms, period, 10.0, 40.0, [](std::size_t i) { return alternate(i); });
    const Track swing = swells_after(fills, period, 10.0, 32.0, burst_sides(fills, period));
    const Track wide = swells_after(fills, period, 10.0, 32.0);
    const Track flash = swells_after(accents_of(r.hats), period, 6.0, 20.0);
    // Full hats (not ghosts) sway the depth, alternately near and far.
    std::vector<Hit> full_hats;
    for (const Hit& h : r.hats) {
        if (h.weight > kGhost) full_hats.push_back(h);
    }
    const Track sway = swells_after(full_hats, period, 6.0, 16.0, [](std::size_t i) { return alternate(i); });
    const Texture rest = texture(in, 0.15);
    const Track nudge = flicks(r.backbeat, period, 0.5, 14.0);
    const Track draw = swells_after(r.backbeat, period, 8.0, 30.0);

    Track x(size), y(size), z(size);
    for (std::size_t p = 0; p < size; ++p) {
        // Starting a little way round keeps the steepest stretch of every
        // axis away from the seam.
        const double t = travel[p] + 0.8;
        // The phrase loop, and the excursion straight out from its centre,
        // a little up and back in depth.
        const double across = 0.45 * std::sin(t) + 0.07 * std::sin(2.0 * t);
        const double up = 0.3 * std::cos(t);
        const double out = (0.62 * excursion[p] + 1.0 * soft_limit(wide[p], 1.0)) / std::hypot(across, up);
        x[p] = across * (1.0 + out) + rest.x[p] + rest.wheel_x[p] + nudge[p] +
               1.0 * soft_limit(swing[p], 1.0);
        y[p] = up * (1.0 + out) + 0.12 * excursion[p] + 0.3 * soft_limit(lift[p], 1.0) + rest.y[p] +
               0.2 * soft_limit(flash[p], 1.0);
        z[p] = 0.35 * std::sin(2.0 * t + 0.6) - 0.3 * excursion[p] + rest.z[p] + rest.wheel_y[p] +
               0.35 * soft_limit(sweep[p], 1.0) - 0.5 * soft_limit(swing[p], 1.0) - 0.3 * soft_limit(draw[p], 1.0) +
               0.18 * soft_limit(sway[p], 1.0);
    }
    // A glide has no corners: the texture is felt, not jerked.
    x = smoothed(x, 6);
    y = smoothed(y, 6);
    z = smoothed(z, 6);
    soft_limit(x, 0.9);
    soft_limit(y, 0.9);
    soft_limit(z, 0.9);
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace gen::beat
