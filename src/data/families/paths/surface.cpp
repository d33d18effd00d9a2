// surface_: a point on a lumpy sphere (its radius depends on where on the
// surface the point is) circling the vertical axis `a` times while its latitude
// swings `b` times inside a low or a wide band; the longitude speeds up and
// slows down with the latitude swing, so the two are coupled.
#include <cmath>
#include <string>

#include "families.hpp"

namespace gen {

void emit_surface(Table& table) {
    static constexpr struct {
        const char* name;
        double latitude;  // largest latitude reached, in radians
    } kBands[] = {{"low", 0.42}, {"wide", 1.08}};
    static constexpr struct {
        int longitude;
        int latitude;
    } kPairs[] = {{1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 3}, {2, 5}, {3, 4}, {3, 5}};
    constexpr int kPeriod = 1024;
    for (const auto& band : kBands) {
        for (const auto& c : kPairs) {
            table.push_back({
                "surface_" + std::to_string(c.longitude) + "_" + std::to_string(c.latitude) + "_" +
                    band.name,
                "A varying-radius surface path with coupled longitude and latitude; all three "
                "coordinates are retained.",
                kPeriod,
                3,
                sample_scaled_curve(
                    kPeriod, kPeriod, 0.82,
                    [&](double t) {
                        const double swing = c.latitude * t + 0.4;
                        const double latitude = band.latitude * std::sin(swing);
                        // Longitude hurries where the latitude turns, at the band's
                        // edges, to one and a half times its mean rate, and slows to
                        // half of it where the latitude moves fastest: the path sweeps
                        // round its turns instead of stalling in a hairpin.
                        const double coupling = 0.25 * c.longitude / c.latitude;
                        const double longitude =
                            c.longitude * t - coupling * std::sin(2.0 * swing) + 0.2;
                        // Two broad bulges round the equator and a ridge towards the top.
                        const double radius = 1.0 + 0.14 * std::cos(2.0 * longitude + 0.7) +
                                              0.1 * std::sin(3.0 * latitude + 0.3);
                        return Row{radius * std::cos(latitude) * std::cos(longitude),
                                   radius * std::sin(latitude),
                                   radius * std::cos(latitude) * std::sin(longitude)};
                    }),
            });
        }
    }
}

}  // namespace gen
