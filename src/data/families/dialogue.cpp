#include "../families.hpp"

namespace gen {

void emit_dialogue(Table&) {}  // pending

}  // namespace gen
