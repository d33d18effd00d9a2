#include "../families.hpp"

namespace gen {

void emit_braid(Table&) {}  // pending

}  // namespace gen
