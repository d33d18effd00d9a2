#include "../families.hpp"

namespace gen {

void emit_spiro(Table&) {}  // pending

}  // namespace gen
