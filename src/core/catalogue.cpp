#include "kinetrope/catalogue.hpp"

#include "kinetrope/analytic.hpp"
#include "kinetrope/builtin_table.hpp"

namespace kinetrope {
namespace {

std::vector<PatternInfo> build_default_catalogue() {
    std::vector<PatternInfo> entries;
    entries.reserve(ANALYTIC_PATTERN_COUNT);
    for (const AnalyticPattern& pattern : analytic_patterns) {
        entries.push_back(pattern.info);
    }
    for (const BuiltinPattern& record : builtin_patterns) {
        entries.push_back({record.name, record.description, record.period_pips, record.dimensions});
    }
    return entries;
}

}  // namespace

const std::vector<PatternInfo>& default_catalogue() {
    // Thread-safe one-time construction; a failed build leaves it unbuilt and
    // the next call tries again.
    static const std::vector<PatternInfo> catalogue = build_default_catalogue();
    return catalogue;
}

}  // namespace kinetrope
