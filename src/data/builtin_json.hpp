// What the companion package reads about the default patterns beside the
// table itself (builtin.json): the beat family's scores as written, and the
// family every default pattern is listed under.
#pragma once

#include <string>

#include "gen_support.hpp"

namespace gen {

// Writes builtin.json: {"grooves": [...], "families": {...}}. The grooves are
// the 68 beat scores in style order, each with its key, bars, swing and lanes
// (name without the triplet mark, grid, triplet); the families map every
// default pattern's name, in catalogue order (the analytic patterns, then the
// table), to its family. Throws if a name repeats.
void write_builtin_json(const Table& table, const std::string& path);

}  // namespace gen
