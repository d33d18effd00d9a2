#include "kinetrope/default_sampler.hpp"

#include <cstring>
#include <stdexcept>
#include <string>

#include "kinetrope/builtin_table.hpp"
#include "kinetrope/drift.hpp"
#include "kinetrope/shapes.hpp"
#include "kinetrope/strokes.hpp"

namespace kinetrope {
namespace {

using AnalyticFunction = Offset3 (*)(std::int32_t) noexcept;

// A fixed-length comparison that the compiler turns into whole-word loads.
template <std::size_t N>
bool is(std::string_view name, const char (&literal)[N]) noexcept {
    return std::memcmp(name.data(), literal, N - 1) == 0;
}

// The analytic pattern with this name, found by length first so that a name
// of any other length goes straight to the table.
AnalyticFunction find_analytic(std::string_view name) noexcept {
    switch (name.size()) {
        case 4:
            if (is(name, "sway")) return &sway;
            if (is(name, "flam")) return &flam;
            if (is(name, "drag")) return &drag;
            return nullptr;
        case 5:
            return is(name, "helix") ? &helix : nullptr;
        case 6:
            if (is(name, "bounce")) return &bounce;
            if (is(name, "circle")) return &circle;
            return nullptr;
        case 8:
            return is(name, "box_step") ? &box_step : nullptr;
        case 10:
            return is(name, "step_touch") ? &step_touch : nullptr;
        case 12:
            return is(name, "figure_eight") ? &figure_eight : nullptr;
        case 16:
            if (is(name, "ochre_background")) return &ochre_background;
            if (is(name, "five_stroke_roll")) return &five_stroke_roll;
            return nullptr;
        case 17:
            return is(name, "single_paradiddle") ? &single_paradiddle : nullptr;
        case 18:
            if (is(name, "single_stroke_roll")) return &single_stroke_roll;
            if (is(name, "double_stroke_roll")) return &double_stroke_roll;
            return nullptr;
        case 20:
            return is(name, "multiple_bounce_roll") ? &multiple_bounce_roll : nullptr;
        default:
            return nullptr;
    }
}

}  // namespace

Offset3 sample(std::string_view name, std::int32_t pip) {
    if (const AnalyticFunction analytic = find_analytic(name)) {
        return analytic(pip);
    }
    if (const BuiltinPattern* builtin = find_builtin(name)) {
        return builtin->sampler(pip);
    }
    throw std::invalid_argument("Unknown dance rudiment: " + std::string(name));
}

}  // namespace kinetrope
