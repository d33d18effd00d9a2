#include "../families.hpp"

namespace gen {

void emit_burst(Table&) {}  // pending

}  // namespace gen
