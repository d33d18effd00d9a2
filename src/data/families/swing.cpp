#include "../families.hpp"

namespace gen {

void emit_swing(Table&) {}  // pending

}  // namespace gen
