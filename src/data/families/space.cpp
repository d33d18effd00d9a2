#include "../families.hpp"

namespace gen {

void emit_space(Table&) {}  // pending

}  // namespace gen
