#include "kinetrope/analytic.hpp"

#include "kinetrope/drift.hpp"
#include "kinetrope/shapes.hpp"
#include "kinetrope/strokes.hpp"

namespace kinetrope {

using namespace std::string_view_literals;

constinit const std::array<AnalyticPattern, ANALYTIC_PATTERN_COUNT> analytic_patterns = {{
    {{"bounce"sv, "One-beat vertical bounce"sv, 64, 1}, &bounce, "shape"sv},
    {{"sway"sv, "Two-beat side-to-side sway"sv, 128, 1}, &sway, "shape"sv},
    {{"circle"sv, "One-beat circular orbit"sv, 64, 2}, &circle, "shape"sv},
    {{"figure_eight"sv, "Two-beat figure eight"sv, 128, 2}, &figure_eight, "shape"sv},
    {{"step_touch"sv, "Two-beat side step with a small lift"sv, 128, 2}, &step_touch, "shape"sv},
    {{"box_step"sv, "Four-beat softened square path"sv, 256, 2}, &box_step, "shape"sv},
    {{"helix"sv, "Four-beat double-turn helix"sv, 256, 3}, &helix, "shape"sv},
    {{"ochre_background"sv, "Ochre/Nimbus four-beat accented background drift"sv, 256, 2},
     &ochre_background, "drift"sv},
    {{"single_stroke_roll"sv, "Alternating R/L strokes with smooth attack and decay"sv, 64, 2},
     &single_stroke_roll, "rudiment"sv},
    {{"double_stroke_roll"sv, "RRLL strokes with a softer second motion"sv, 64, 2},
     &double_stroke_roll, "rudiment"sv},
    {{"multiple_bounce_roll"sv, "Decaying same-hand bounce clusters"sv, 64, 2},
     &multiple_bounce_roll, "rudiment"sv},
    {{"single_paradiddle"sv, "RLRR LRLL with accented lead strokes"sv, 128, 2},
     &single_paradiddle, "rudiment"sv},
    {{"flam"sv, "Grace motion flowing into an opposite-hand primary motion"sv, 64, 2},
     &flam, "rudiment"sv},
    {{"drag"sv, "Two grace motions flowing into an opposite-hand primary motion"sv, 64, 2},
     &drag, "rudiment"sv},
    {{"five_stroke_roll"sv, "Two diddles resolving to an accented fifth motion"sv, 128, 2},
     &five_stroke_roll, "rudiment"sv},
}};

}  // namespace kinetrope
