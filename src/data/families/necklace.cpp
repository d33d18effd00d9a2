#include "../families.hpp"

namespace gen {

void emit_necklace(Table&) {}  // pending

}  // namespace gen
