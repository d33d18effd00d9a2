#include "../families.hpp"

namespace gen {

void emit_polar(Table&) {}  // pending

}  // namespace gen
