#include "../families.hpp"

namespace gen {

Rows lfo_breathe(int) { return {}; }  // pending

Rows lfo_surge(int) { return {}; }  // pending

Rows lfo_soft_gate(int) { return {}; }  // pending

Rows lfo_double_pump(int) { return {}; }  // pending

Rows lfo_ratchet(int) { return {}; }  // pending

Rows lfo_glide_stair(int) { return {}; }  // pending

Rows lfo_morph(int) { return {}; }  // pending

Rows lfo_flower(int) { return {}; }  // pending

Rows lfo_twin_swell(int) { return {}; }  // pending

Rows lfo_pulse_hold(int) { return {}; }  // pending

Rows lfo_sweep_ratchet(int) { return {}; }  // pending

Rows lfo_triplet_wobble(int) { return {}; }  // pending

Rows lfo_breathing_orbit(int) { return {}; }  // pending

Rows lfo_seeded_drift(int) { return {}; }  // pending

Rows lfo_pendulum_dwell(int) { return {}; }  // pending

Rows lfo_reverse_swell(int) { return {}; }  // pending

}  // namespace gen
