#include "../families.hpp"

namespace gen {

void emit_triplet(Table&) {}  // pending

}  // namespace gen
