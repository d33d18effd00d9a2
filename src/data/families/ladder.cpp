// ladder_: four two-beat regions, each cut into its own number of equal
// strokes. Strokes swing between the hands with a small lift each; every
// region starts with an accent: a wider lean, a higher lift and a depth push.
#include <array>
#include <string>
#include <vector>

#include "../families.hpp"
#include "phrases_common.hpp"

namespace gen {

void emit_ladder(Table& table) {
    static constexpr std::array<std::array<int, 4>, 16> kDensities = {{
        {2, 3, 4, 6}, {3, 5, 4, 2}, {2, 5, 3, 7}, {4, 3, 6, 5}, {2, 4, 7, 3}, {3, 6, 2, 5},
        {5, 3, 7, 4}, {6, 4, 3, 2}, {2, 7, 4, 5}, {7, 3, 5, 2}, {4, 7, 3, 6}, {5, 2, 6, 3},
        {3, 4, 5, 7}, {6, 5, 4, 3}, {7, 5, 3, 4}, {4, 6, 7, 5},
    }};
    constexpr int kPeriod = 512;
    constexpr int kRegion = 2 * kPipsPerBeat;
    constexpr double kAccentLean = 0.9;   // x at a region start
    constexpr double kStrokeLean = 0.45;  // x of the other strokes
    constexpr double kAccentLift = 0.75;  // y at a region start
    constexpr double kStrokeLift = 0.35;  // y of the other strokes
    constexpr double kAccentPush = 0.8;   // z at a region start
    for (const auto& densities : kDensities) {
        std::string name = "ladder";
        std::vector<Onset> lean, lift, push;
        for (int r = 0; r < 4; ++r) {
            const int strokes = densities[static_cast<std::size_t>(r)];
            name += '_';
            name += std::to_string(strokes);
            // Region starts alternate sides; strokes within a region alternate hands.
            for (int k = 0; k < strokes; ++k) {
                const double pip = kRegion * r + static_cast<double>(kRegion * k) / strokes;
                const double side = (r + k) % 2 == 0 ? 1.0 : -1.0;
                lean.push_back({pip, side, k == 0 ? kAccentLean : kStrokeLean});
                lift.push_back({pip, 1.0, k == 0 ? kAccentLift : kStrokeLift});
            }
            push.push_back({static_cast<double>(kRegion * r), 1.0, kAccentPush});
        }
        table.push_back({
            name,
            "Four two-beat regions change subdivision density while accents mark region starts.",
            kPeriod,
            3,
            phrases::rows_of(kPeriod, phrases::spaced_lane(lean, kPeriod, 0.75, 32.0, name),
                             phrases::spaced_lane(lift, kPeriod, 0.75, 32.0, name),
                             phrases::spaced_lane(push, kPeriod, 0.5, 48.0, name)),
        });
    }
}

}  // namespace gen
