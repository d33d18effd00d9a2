#include <gtest/gtest.h>

#include <cstring>

#include "kinetrope/drift.hpp"
#include "kinetrope/strokes.hpp"

namespace {

using namespace kinetrope;

bool same_bits(const Offset3& a, const Offset3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// With a period of 0 or less every stroke's local time is 0, where its
// envelope is 0; Python only reaches the fixed positive periods.
TEST(EvaluateStrokes, NonPositivePeriodGivesRest) {
    const Stroke strokes[] = {{0, 1, 1.0, 8}, {3, -1, 0.5, 4}};
    for (const std::int32_t period : {0, -1, -64}) {
        EXPECT_TRUE(same_bits(evaluate_strokes(5, period, strokes), Offset3{0.0, 0.0, 0.0}));
    }
}

TEST(EvaluateStrokes, SumsAreLimitedToTheUnitRange) {
    const Stroke strokes[] = {{0, 1, 1.0, 8}, {0, 1, 1.0, 8}};
    const Offset3 peak = evaluate_strokes(4, 64, strokes);
    EXPECT_EQ(peak.x, 1.0);
    EXPECT_EQ(peak.y, -1.0);
    EXPECT_EQ(peak.z, 0.0);
}

TEST(EvaluateStrokes, AStrokePastTheEndContinuesAtPhaseZero) {
    const Stroke strokes[] = {{60, 1, 1.0, 8}};
    EXPECT_EQ(evaluate_strokes(0, 64, strokes).x, 1.0);  // local time 4 of 8
    EXPECT_EQ(evaluate_strokes(4, 64, strokes).x, 0.0);
}

TEST(DriftTable, RebuildingGivesTheTableTheModuleSamples) {
    const DriftTable table = build_drift_table();
    for (std::int32_t j = 0; j < DRIFT_PERIOD; ++j) {
        EXPECT_TRUE(same_bits(table[static_cast<std::size_t>(j)], ochre_background(j))) << j;
    }
}

}  // namespace
