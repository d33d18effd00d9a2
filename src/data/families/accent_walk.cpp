#include "../families.hpp"

namespace gen {

void emit_accent_walk(Table&) {}  // pending

}  // namespace gen
