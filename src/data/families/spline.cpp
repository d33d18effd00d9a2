#include "../families.hpp"

namespace gen {

void emit_spline(Table&) {}  // pending

}  // namespace gen
