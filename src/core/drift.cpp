#include "kinetrope/drift.hpp"

namespace kinetrope {
namespace {

// Four beats, each with a lead-in, an accent and a release; the last key
// closes the loop on the first.
constexpr DriftKey kKeys[] = {
    {0, 0.0, 0.0},
    {23, 2.0 / 14.0, -0.1},
    {33, 13.0 / 14.0, -0.8},
    {49, 5.0 / 14.0, -0.4},
    {87, -3.0 / 14.0, 0.2},
    {100, -1.0, 0.9},
    {118, -5.0 / 14.0, 0.5},
    {154, 1.0 / 14.0, 0.0},
    {169, 12.0 / 14.0, 1.0},
    {187, 4.0 / 14.0, 0.5},
    {215, -2.0 / 14.0, -0.2},
    {228, -10.0 / 14.0, -0.9},
    {243, -3.0 / 14.0, -0.3},
    {256, 0.0, 0.0},
};
constexpr std::size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

// Filled before the module's Python initialisation can run.
const DriftTable drift_table = build_drift_table();

}  // namespace

DriftTable build_drift_table() noexcept {
    DriftTable table{};
    std::size_t i = 0;
    for (std::int32_t j = 0; j < DRIFT_PERIOD; ++j) {
        // At a keyframe's own pip the incoming segment is used (t = 1).
        while (i + 1 < kKeyCount && j > kKeys[i + 1].pip) {
            ++i;
        }
        const DriftKey& a = kKeys[i];
        const DriftKey& b = kKeys[i + 1];
        const double t = static_cast<double>(j - a.pip) / static_cast<double>(b.pip - a.pip);
        const double s = (3.0 - (t + t)) * (t * t);
        table[static_cast<std::size_t>(j)] = {(b.x - a.x) * s + a.x, (b.y - a.y) * s + a.y, 0.0};
    }
    return table;
}

Offset3 ochre_background(std::int32_t pip) noexcept {
    return drift_table[static_cast<std::size_t>(wrap_pip(pip, DRIFT_PERIOD))];
}

}  // namespace kinetrope
