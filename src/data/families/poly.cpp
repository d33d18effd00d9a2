#include "../families.hpp"

namespace gen {

void emit_poly(Table&) {}  // pending

}  // namespace gen
