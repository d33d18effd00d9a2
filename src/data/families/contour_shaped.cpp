#include "../families.hpp"

namespace gen {

void emit_contour_shaped(Table&) {}  // pending

}  // namespace gen
