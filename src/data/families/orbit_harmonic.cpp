#include "../families.hpp"

namespace gen {

void emit_orbit_harmonic(Table&) {}  // pending

}  // namespace gen
