#include "../families.hpp"

namespace gen {

void emit_ladder(Table&) {}  // pending

}  // namespace gen
