#include "../families.hpp"

namespace gen {

Rows rudiment_double_paradiddle(int) { return {}; }  // pending

Rows rudiment_paradiddle_diddle(int) { return {}; }  // pending

Rows rudiment_six_stroke(int) { return {}; }  // pending

Rows rudiment_flam_accent(int) { return {}; }  // pending

}  // namespace gen
