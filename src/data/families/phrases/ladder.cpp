// ladder_: four two-beat regions, each cut into its own number of equal
// strokes swinging between the hands. Every region starts with an accent (a
// wide lean, a high lift and a depth push), the phrase's first region with the
// strongest one; the strokes after it press down, and the denser the region
// the smaller and quicker they are.
#include <array>
#include <string>
#include <vector>

#include "families.hpp"
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
    constexpr double kAccentLean = 0.9;   // x at the phrase start
    constexpr double kAccentLift = 0.75;  // y at the phrase start
    constexpr double kAccentPush = 0.8;   // z at the phrase start
    // The other region starts are accented less, so that the phrase has one
    // start and two ladders whose densities are a rotation of each other
    // still differ. The accents stay above the largest stroke (0.6 across,
    // 0.4 down, in a region of two).
    constexpr double kRegionAccent = 0.75;
    for (const auto& densities : kDensities) {
        std::string name = "ladder";
        std::vector<Onset> lean, lift, push;
        for (int r = 0; r < 4; ++r) {
            const int strokes = densities[static_cast<std::size_t>(r)];
            name += '_';
            name += std::to_string(strokes);
            // Region starts alternate sides; strokes within a region alternate hands.
            const double reach = 0.2 + 0.8 / strokes;   // x of the unaccented strokes
            const double press = -(0.1 + 0.6 / strokes);  // y of the unaccented strokes
            const double accent = r == 0 ? 1.0 : kRegionAccent;
            for (int k = 0; k < strokes; ++k) {
                const double pip = kRegion * r + static_cast<double>(kRegion * k) / strokes;
                const double side = (r + k) % 2 == 0 ? 1.0 : -1.0;
                lean.push_back({pip, side, k == 0 ? accent * kAccentLean : reach});
                lift.push_back({pip, 1.0, k == 0 ? accent * kAccentLift : press});
            }
            push.push_back({static_cast<double>(kRegion * r), 1.0, accent * kAccentPush});
        }
        table.push_back({
            name,
            "Four two-beat regions change subdivision density while accents mark region starts.",
            kPeriod,
            3,
            rows_from_lanes(kPeriod, phrases::spaced_lane(lean, kPeriod, 0.75, 32.0, name),
                             phrases::spaced_lane(lift, kPeriod, 0.75, 32.0, name),
                             phrases::spaced_lane(push, kPeriod, 0.5, 48.0, name)),
        });
    }
}

}  // namespace gen
