#include "../families.hpp"

namespace gen {

void emit_silhouette_harmonic(Table&) {}  // pending

}  // namespace gen
