#include "../families.hpp"

namespace gen {

Rows rhythm_euclid_3_8(int) { return {}; }  // pending

Rows rhythm_euclid_5_12(int) { return {}; }  // pending

Rows rhythm_three_two(int) { return {}; }  // pending

Rows rhythm_half_time(int) { return {}; }  // pending

Rows rhythm_five_four(int) { return {}; }  // pending

Rows rhythm_seven_four(int) { return {}; }  // pending

Rows rhythm_euclid_7_16(int) { return {}; }  // pending

Rows rhythm_euclid_5_16(int) { return {}; }  // pending

Rows rhythm_swung_answer(int) { return {}; }  // pending

Rows rhythm_group_332(int) { return {}; }  // pending

Rows rhythm_group_223(int) { return {}; }  // pending

Rows rhythm_three_four_five(int) { return {}; }  // pending

}  // namespace gen
