#include "../families.hpp"

namespace gen {

void emit_tour(Table&) {}  // pending

}  // namespace gen
