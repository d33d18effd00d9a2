#include "../families.hpp"

namespace gen {

void emit_stick_study(Table&) {}  // pending

}  // namespace gen
