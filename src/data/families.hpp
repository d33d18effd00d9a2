// Every family of the built-in table. The authored patterns at the head of the
// table each have a function that draws their rows; each generated family has an
// emitter that appends its sixteen records, in table order.
#pragma once

#include <string_view>
#include <vector>

#include "gen_support.hpp"

namespace gen {

using RowsFunction = Rows (*)(int period);

struct AuthoredPattern {
    std::string_view name;
    int period;
    int dimensions;
    std::string_view description;
    RowsFunction rows;
};

const std::vector<AuthoredPattern>& authored_patterns();

// lfo.cpp
Rows lfo_breathe(int period);
Rows lfo_surge(int period);
Rows lfo_soft_gate(int period);
Rows lfo_double_pump(int period);
Rows lfo_ratchet(int period);
Rows lfo_glide_stair(int period);
Rows lfo_morph(int period);
Rows lfo_flower(int period);
Rows lfo_twin_swell(int period);
Rows lfo_pulse_hold(int period);
Rows lfo_sweep_ratchet(int period);
Rows lfo_triplet_wobble(int period);
Rows lfo_breathing_orbit(int period);
Rows lfo_seeded_drift(int period);
Rows lfo_pendulum_dwell(int period);
Rows lfo_reverse_swell(int period);

// rhythm.cpp
Rows rhythm_euclid_3_8(int period);
Rows rhythm_euclid_5_12(int period);
Rows rhythm_three_two(int period);
Rows rhythm_half_time(int period);
Rows rhythm_five_four(int period);
Rows rhythm_seven_four(int period);
Rows rhythm_euclid_7_16(int period);
Rows rhythm_euclid_5_16(int period);
Rows rhythm_swung_answer(int period);
Rows rhythm_group_332(int period);
Rows rhythm_group_223(int period);
Rows rhythm_three_four_five(int period);

// rudiment.cpp
Rows rudiment_double_paradiddle(int period);
Rows rudiment_paradiddle_diddle(int period);
Rows rudiment_six_stroke(int period);
Rows rudiment_flam_accent(int period);

// ease.cpp
Rows ease_rebound(int period);
Rows ease_anticipate(int period);
Rows ease_overshoot(int period);
Rows ease_elastic(int period);

// akwf.cpp
Rows akwf_round_saw(int period);
Rows akwf_quick_return(int period);
Rows akwf_multi_lobe(int period);
Rows akwf_plateau(int period);

// groove.cpp
Rows groove_a_played(int period);
Rows groove_a_grid(int period);
Rows groove_b_played(int period);
Rows groove_b_grid(int period);

// path.cpp
Rows path_lissajous_2_3(int period);
Rows path_rose_4(int period);
Rows path_rose_5(int period);
Rows path_bowed_diamond(int period);
Rows path_orbit_dwell(int period);
Rows path_torus_knot(int period);
Rows path_woven_3d(int period);
Rows path_crank_slider(int period);

// Generated families, in table order (one file each).
void emit_wave(Table& table);
void emit_env(Table& table);
void emit_seq(Table& table);
void emit_noise(Table& table);
void emit_orbit_harmonic(Table& table);
void emit_weave(Table& table);
void emit_polar(Table& table);
void emit_spiro(Table& table);
void emit_space(Table& table);
void emit_mech(Table& table);
void emit_euclid(Table& table);
void emit_poly(Table& table);
void emit_meter(Table& table);
void emit_swing(Table& table);
void emit_stick_study(Table& table);
void emit_gesture(Table& table);
void emit_ribbon(Table& table);
void emit_contour_shaped(Table& table);
void emit_silhouette_harmonic(Table& table);
void emit_spline(Table& table);
void emit_tour(Table& table);
void emit_scan(Table& table);
void emit_reach(Table& table);
void emit_surface(Table& table);
void emit_braid(Table& table);
void emit_arm_coupled(Table& table);
void emit_dwell_phrase(Table& table);
void emit_packet(Table& table);
void emit_canon(Table& table);
void emit_echo(Table& table);
void emit_ladder(Table& table);
void emit_necklace(Table& table);
void emit_accent_walk(Table& table);
void emit_triplet(Table& table);
void emit_dialogue(Table& table);
void emit_burst(Table& table);
void emit_beat(Table& table);

// Whether a beat pattern's rows start at the origin, by the rule of its
// variant (beat_styles.cpp).
bool beat_starts_at_origin(std::string_view name);

}  // namespace gen
