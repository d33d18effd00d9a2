// Every family of the built-in table. The authored patterns at the head of the
// table each have a function that draws their rows; each generated family has an
// emitter that appends its sixteen records, in table order. The sources sit in
// families/, one folder for each kind of motion.
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

// authored_shapes/lfo.cpp
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

// rhythm/rhythm.cpp
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

// rhythm/rudiment.cpp
Rows rudiment_double_paradiddle(int period);
Rows rudiment_paradiddle_diddle(int period);
Rows rudiment_six_stroke(int period);
Rows rudiment_flam_accent(int period);

// authored_shapes/ease.cpp
Rows ease_rebound(int period);
Rows ease_anticipate(int period);
Rows ease_overshoot(int period);
Rows ease_elastic(int period);

// authored_shapes/akwf.cpp
Rows akwf_round_saw(int period);
Rows akwf_quick_return(int period);
Rows akwf_multi_lobe(int period);
Rows akwf_plateau(int period);

// rhythm/groove.cpp
Rows groove_a_played(int period);
Rows groove_a_grid(int period);
Rows groove_b_played(int period);
Rows groove_b_grid(int period);

// authored_shapes/path.cpp
Rows path_lissajous_2_3(int period);
Rows path_rose_4(int period);
Rows path_rose_5(int period);
Rows path_bowed_diamond(int period);
Rows path_orbit_dwell(int period);
Rows path_torus_knot(int period);
Rows path_woven_3d(int period);
Rows path_crank_slider(int period);

// Generated families, in table order (one file each, in the folder named).
void emit_wave(Table& table);  // curves/
void emit_env(Table& table);  // shapes/
void emit_seq(Table& table);  // shapes/
void emit_noise(Table& table);  // shapes/
void emit_orbit_harmonic(Table& table);  // curves/
void emit_weave(Table& table);  // curves/
void emit_polar(Table& table);  // curves/
void emit_spiro(Table& table);  // curves/
void emit_space(Table& table);  // curves/
void emit_mech(Table& table);  // curves/
void emit_euclid(Table& table);  // rhythm/
void emit_poly(Table& table);  // rhythm/
void emit_meter(Table& table);  // phrases/
void emit_swing(Table& table);  // rhythm/
void emit_stick_study(Table& table);  // phrases/
void emit_gesture(Table& table);  // shapes/
void emit_ribbon(Table& table);  // paths/
void emit_contour_shaped(Table& table);  // paths/
void emit_silhouette_harmonic(Table& table);  // curves/
void emit_spline(Table& table);  // shapes/
void emit_tour(Table& table);  // shapes/
void emit_scan(Table& table);  // paths/
void emit_reach(Table& table);  // paths/
void emit_surface(Table& table);  // paths/
void emit_braid(Table& table);  // paths/
void emit_arm_coupled(Table& table);  // paths/
void emit_dwell_phrase(Table& table);  // paths/
void emit_packet(Table& table);  // bursts/
void emit_canon(Table& table);  // phrases/
void emit_echo(Table& table);  // phrases/
void emit_ladder(Table& table);  // phrases/
void emit_necklace(Table& table);  // phrases/
void emit_accent_walk(Table& table);  // bursts/
void emit_triplet(Table& table);  // bursts/
void emit_dialogue(Table& table);  // bursts/
void emit_burst(Table& table);  // bursts/
void emit_beat(Table& table);  // beat/

// Whether a beat pattern's rows start at the origin, by the rule of its
// variant (beat/beat_styles.cpp).
bool beat_starts_at_origin(std::string_view name);

}  // namespace gen
