#include "../families.hpp"

namespace gen {

void emit_surface(Table&) {}  // pending

}  // namespace gen
