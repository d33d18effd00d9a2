#include "../families.hpp"

namespace gen {

void emit_wave(Table&) {}  // pending

}  // namespace gen
