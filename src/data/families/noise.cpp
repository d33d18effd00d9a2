#include "../families.hpp"

namespace gen {

void emit_noise(Table&) {}  // pending

}  // namespace gen
