// The catalogue of every default pattern: the fifteen analytic patterns, then
// the built-in table in table order. Built once, on first use.
#pragma once

#include <vector>

#include "kinetrope/pattern_info.hpp"

namespace kinetrope {

const std::vector<PatternInfo>& default_catalogue();

}  // namespace kinetrope
