#include "../families.hpp"

namespace gen {

void emit_dwell_phrase(Table&) {}  // pending

}  // namespace gen
