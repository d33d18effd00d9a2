#include "../families.hpp"

namespace gen {

void emit_seq(Table&) {}  // pending

}  // namespace gen
