#include "../families.hpp"

namespace gen {

void emit_euclid(Table&) {}  // pending

}  // namespace gen
