#include "../families.hpp"

namespace gen {

void emit_env(Table&) {}  // pending

}  // namespace gen
