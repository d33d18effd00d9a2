// ribbon_: the point travels an elliptical spine `a` times while swinging
// across a ribbon `b` times; the ribbon narrows and widens along the spine, and
// every swing outward also leans forward in depth, so the band is a tilted cone.
#include <cmath>
#include <string>

#include "families.hpp"

namespace gen {

void emit_ribbon(Table& table) {
    static constexpr struct {
        const char* suffix;
        double width;  // half-width of the ribbon, as a share of the spine radius
        double depth;  // depth reached per unit of radial swing
    } kWidths[] = {{"slim", 0.16, 2.4}, {"deep", 0.3, 3.0}};
    static constexpr struct {
        int spine;
        int swings;
    } kPairs[] = {{1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 3}, {2, 5}, {3, 4}, {3, 5}};
    constexpr int kPeriod = 1024;
    for (const auto& w : kWidths) {
        for (const auto& c : kPairs) {
            table.push_back({
                "ribbon_" + std::to_string(c.spine) + "_" + std::to_string(c.swings) + "_" + w.suffix,
                "A curved elliptical spine with variable radial width and linked depth deflection.",
                kPeriod,
                3,
                sample_scaled_curve(kPeriod, kPeriod, 0.82,
                                    [&](double t) {
                                        const double along = c.spine * t + 0.3;
                                        // The ribbon is widest on one side of the spine.
                                        const double width =
                                            w.width * (0.7 + 0.3 * std::cos(along - 0.9));
                                        const double swing = width * std::sin(c.swings * t + 1.9);
                                        const double radius = 1.0 + swing;
                                        return Row{radius * std::cos(along),
                                                   radius * 0.8 * std::sin(along),
                                                   w.depth * swing};
                                    }),
            });
        }
    }
}

}  // namespace gen
