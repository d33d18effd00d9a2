#include "../families.hpp"

namespace gen {

void emit_mech(Table&) {}  // pending

}  // namespace gen
