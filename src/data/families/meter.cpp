#include "../families.hpp"

namespace gen {

void emit_meter(Table&) {}  // pending

}  // namespace gen
