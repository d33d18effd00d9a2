#include "../families.hpp"

namespace gen {

void emit_scan(Table&) {}  // pending

}  // namespace gen
