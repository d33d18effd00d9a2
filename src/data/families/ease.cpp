#include "../families.hpp"

namespace gen {

Rows ease_rebound(int) { return {}; }  // pending

Rows ease_anticipate(int) { return {}; }  // pending

Rows ease_overshoot(int) { return {}; }  // pending

Rows ease_elastic(int) { return {}; }  // pending

}  // namespace gen
