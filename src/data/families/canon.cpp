#include "../families.hpp"

namespace gen {

void emit_canon(Table&) {}  // pending

}  // namespace gen
