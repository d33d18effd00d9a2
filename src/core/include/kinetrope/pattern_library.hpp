// A pack of user patterns sampled by name together with the default patterns.
// The pack's own patterns are looked up first; any other name goes to the
// default sampler. A user pattern may bear a default's name only when it is
// exactly that default, and is then dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "kinetrope/pattern_info.hpp"
#include "kinetrope/sampled_pattern.hpp"
#include "kinetrope/time.hpp"

namespace kinetrope {

inline constexpr std::size_t MAX_LIBRARY_PATTERNS = 1024;
inline constexpr std::size_t MAX_LIBRARY_SAMPLES = std::size_t{1} << 20;

class PatternLibrary {
public:
    // Consumes the given patterns. Throws std::invalid_argument "Too many
    // patterns", "Empty/moved-from pattern", "Duplicate pattern name: <name>",
    // "Pattern pack is too large" or "Cannot override default pattern: <name>";
    // the first failing check wins, pattern by pattern in the given order.
    explicit PatternLibrary(std::vector<SampledPattern> patterns);

    // The pack's pattern of that name, else the default sampler's answer
    // (which throws std::invalid_argument for an unknown name).
    Offset3 sample(std::string_view name, std::int32_t pip_count) const;

    // Every default entry in catalogue order, then one entry per kept
    // pattern in the given order. The appended entries view strings owned by
    // this library.
    std::vector<PatternInfo> catalogue() const;

    const std::vector<SampledPattern>& patterns() const noexcept { return patterns_; }

private:
    std::vector<SampledPattern> patterns_;
    // The hash of each kept pattern's name, in the same order: the lookup
    // scans these few words and compares names only where they match.
    std::vector<std::size_t> name_hashes_;
};

}  // namespace kinetrope
