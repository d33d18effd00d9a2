#include "../families.hpp"

namespace gen {

void emit_ribbon(Table&) {}  // pending

}  // namespace gen
