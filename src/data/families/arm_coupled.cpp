#include "../families.hpp"

namespace gen {

void emit_arm_coupled(Table&) {}  // pending

}  // namespace gen
