#include "../families.hpp"

namespace gen {

Rows akwf_round_saw(int) { return {}; }  // pending

Rows akwf_quick_return(int) { return {}; }  // pending

Rows akwf_multi_lobe(int) { return {}; }  // pending

Rows akwf_plateau(int) { return {}; }  // pending

}  // namespace gen
