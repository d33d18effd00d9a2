// Stand-ins for eight beat variants (dive, pendulum, figure8, box,
// corkscrew, spiral, slalom, ricochet) so that the family links and runs
// while their own designs are written elsewhere: each is a slow closed figure
// of its own proportions whose radius swells at the hits of one role, every hit
// ticking in depth. This
// file is deleted when those designs arrive.
#include <cmath>

#include "beat_common.hpp"

namespace gen::beat {
namespace {

struct Figure {
    double x_turns, y_turns, z_turns;
    double y_phase;
};

Rows stand_in(const BeatInput& in, const std::vector<Hit>& drive, Figure f) {
    const auto size = static_cast<std::size_t>(in.period);
    Track swell(size, 0.0);
    add_bumps(swell, drive, 20.0, [](const Hit& h, std::size_t) { return h.weight; });
    soft_limit(swell, 1.0);
    Track ticks(size, 0.0);
    add_bumps(ticks, in.roles.all, 6.0, [](const Hit& h, std::size_t) { return 0.15 * h.weight; });
    Track x(size), y(size), z(size);
    for (std::size_t p = 0; p < size; ++p) {
        const double t = phase_angle(static_cast<int>(p), in.period);
        const double radius = 0.45 + 0.35 * swell[p];
        x[p] = radius * std::sin(f.x_turns * t + 0.4);
        y[p] = radius * std::sin(f.y_turns * t + f.y_phase + 0.25);
        z[p] = 0.5 * std::cos(f.z_turns * t + 0.7) + 0.2 * swell[p] + ticks[p];
    }
    return beat_rows(in.dimensions, x, y, z);
}

}  // namespace

Rows beat_dive(const BeatInput& in) { return stand_in(in, in.roles.bass, {1, 1, 2, 0.0}); }
Rows beat_pendulum(const BeatInput& in) { return stand_in(in, in.roles.all, {2, 4, 1, 0.0}); }
Rows beat_figure8(const BeatInput& in) { return stand_in(in, in.roles.kick, {2, 4, 2, 1.0}); }
Rows beat_box(const BeatInput& in) { return stand_in(in, in.roles.all, {3, 3, 1, 1.57}); }
Rows beat_corkscrew(const BeatInput& in) { return stand_in(in, in.roles.percussion, {4, 4, 1, 1.57}); }
Rows beat_spiral(const BeatInput& in) { return stand_in(in, in.roles.all, {4, 4, 2, 1.57}); }
Rows beat_slalom(const BeatInput& in) { return stand_in(in, in.roles.kick, {1, 3, 2, 0.5}); }
Rows beat_ricochet(const BeatInput& in) { return stand_in(in, in.roles.all, {3, 2, 3, 0.0}); }

}  // namespace gen::beat
