#include "../families.hpp"

namespace gen {

void emit_packet(Table&) {}  // pending

}  // namespace gen
