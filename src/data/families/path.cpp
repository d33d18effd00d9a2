#include "../families.hpp"

namespace gen {

Rows path_lissajous_2_3(int) { return {}; }  // pending

Rows path_rose_4(int) { return {}; }  // pending

Rows path_rose_5(int) { return {}; }  // pending

Rows path_bowed_diamond(int) { return {}; }  // pending

Rows path_orbit_dwell(int) { return {}; }  // pending

Rows path_torus_knot(int) { return {}; }  // pending

Rows path_woven_3d(int) { return {}; }  // pending

Rows path_crank_slider(int) { return {}; }  // pending

}  // namespace gen
