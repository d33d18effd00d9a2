#include "../families.hpp"

namespace gen {

void emit_echo(Table&) {}  // pending

}  // namespace gen
