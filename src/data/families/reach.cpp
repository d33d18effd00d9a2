#include "../families.hpp"

namespace gen {

void emit_reach(Table&) {}  // pending

}  // namespace gen
