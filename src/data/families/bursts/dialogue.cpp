// dialogue_: a phrase of eighth-note groups passed from direction to direction
// (x, then y, then z, and y again when there is a fourth group). Each group
// opens with a strong accent, its further eighths answer softly back and forth,
// and just before the next group begins its voice gives a late pickup against
// its own accent, handing the phrase on.
#include <string>
#include <vector>

#include "families.hpp"
#include "bursts_common.hpp"

namespace gen {
namespace {

// The direction that voices each group: x, y, z, and y for a fourth group, so
// that no two neighbouring groups share a direction, across the seam included.
constexpr int kVoiceOfGroup[] = {0, 1, 2, 1};

// How far before the next group start the handing-over pickup falls: later
// than the last sixteenth of the group.
constexpr double kPickupLead = 10.0;

Rows dialogue(const std::vector<int>& groups) {
    int eighths = 0;
    for (const int g : groups) eighths += g;
    const int period = kPipsPerEighth * eighths;
    std::vector<Onset> lanes[3];
    int times_heard[3] = {0, 0, 0};
    int start = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const int voice = kVoiceOfGroup[g];
        // A direction heard for the second time speaks from the other side.
        const double side = times_heard[voice]++ == 0 ? 1.0 : -1.0;
        std::vector<Onset>& lane = lanes[voice];
        lane.push_back({static_cast<double>(start), side, side > 0 ? 0.95 : 0.9});
        for (int i = 1; i < groups[g]; ++i) {
            // Softer eighths, alternating about the rest and fading.
            const double sign = i % 2 == 1 ? -side : side;
            lane.push_back({static_cast<double>(start + kPipsPerEighth * i), sign,
                            0.45 - 0.05 * i});
        }
        start += kPipsPerEighth * groups[g];
        lane.push_back({start - kPickupLead, -side, 0.55});
    }
    const auto render = [&](int voice) {
        return bursts::render_spaced_lane(lanes[voice], 0.9, 28.0, period);
    };
    return rows_from_lanes(period, render(0), render(1), render(2));
}

}  // namespace

void emit_dialogue(Table& table) {
    static const std::vector<std::vector<int>> kGroupings = {
        {3, 4, 5},    {5, 3, 4},    {3, 5, 2},    {2, 5, 4},    {4, 3, 2},    {3, 2, 4, 5},
        {5, 2, 3, 4}, {2, 3, 5, 3}, {3, 4, 3, 5}, {5, 4, 2, 3}, {2, 4, 5, 2}, {4, 5, 3, 2},
        {3, 5, 4, 3}, {5, 3, 2, 5}, {2, 5, 3, 5}, {4, 3, 5, 4}};
    for (const auto& groups : kGroupings) {
        std::string suffix;
        int eighths = 0;
        for (const int g : groups) {
            suffix += '_';
            suffix += std::to_string(g);
            eighths += g;
        }
        table.push_back({
            "dialogue" + suffix,
            "Different eighth-note group lengths pass a phrase between directions, with late "
            "pickup responses.",
            kPipsPerEighth * eighths,
            3,
            dialogue(groups),
        });
    }
}

}  // namespace gen
