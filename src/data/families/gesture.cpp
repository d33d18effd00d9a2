#include "../families.hpp"

namespace gen {

void emit_gesture(Table&) {}  // pending

}  // namespace gen
