#include "kinetrope/pattern_library.hpp"

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

#include "kinetrope/catalogue.hpp"
#include "kinetrope/default_sampler.hpp"
#include "kinetrope/name_set.hpp"

namespace kinetrope {
namespace {

const PatternInfo* find_default(const std::vector<PatternInfo>& defaults, std::string_view name) noexcept {
    for (const PatternInfo& entry : defaults) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

// True when the pattern repeats the default bit for bit: the same
// description, one sample per pip of the default's period, and at every pip
// the default sampler's offset by exact comparison (NaN never matches).
bool repeats_default(const SampledPattern& pattern, const PatternInfo& entry) {
    if (pattern.description() != entry.description || pattern.period_pips() != entry.period_pips) {
        return false;
    }
    const std::vector<Offset3>& samples = pattern.samples();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Offset3 expected = sample(pattern.name(), static_cast<std::int32_t>(i));
        const Offset3& given = samples[i];
        if (!(given.x == expected.x && given.y == expected.y && given.z == expected.z)) {
            return false;
        }
    }
    return true;
}

std::size_t hash_name(std::string_view name) noexcept { return std::hash<std::string_view>{}(name); }

}  // namespace

PatternLibrary::PatternLibrary(std::vector<SampledPattern> patterns) {
    if (patterns.size() > MAX_LIBRARY_PATTERNS) {
        throw std::invalid_argument("Too many patterns");
    }
    const std::vector<PatternInfo>& defaults = default_catalogue();

    // The names are viewed inside the argument, which stays in place until
    // every check has passed; the kept patterns are moved out only then.
    std::vector<bool> keep(patterns.size(), false);
    std::size_t kept = 0;
    {
        NameSet names(patterns.size());
        std::size_t total_samples = 0;
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            const SampledPattern& pattern = patterns[i];
            if (pattern.samples().empty()) {
                throw std::invalid_argument("Empty/moved-from pattern");
            }
            if (!names.insert(pattern.name())) {
                throw std::invalid_argument("Duplicate pattern name: " + pattern.name());
            }
            total_samples += pattern.samples().size();
            if (total_samples > MAX_LIBRARY_SAMPLES) {
                throw std::invalid_argument("Pattern pack is too large");
            }
            if (const PatternInfo* entry = find_default(defaults, pattern.name())) {
                if (!repeats_default(pattern, *entry)) {
                    throw std::invalid_argument("Cannot override default pattern: " + pattern.name());
                }
                continue;  // identical to the default: dropped
            }
            keep[i] = true;
            ++kept;
        }
    }

    patterns_.reserve(kept);
    name_hashes_.reserve(kept);
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        if (keep[i]) {
            patterns_.push_back(std::move(patterns[i]));
            name_hashes_.push_back(hash_name(patterns_.back().name()));
        }
    }
}

Offset3 PatternLibrary::sample(std::string_view name, std::int32_t pip_count) const {
    // Own patterns first, in stored order; names are unique, so the first
    // match is the only one.
    if (!patterns_.empty()) {
        const std::size_t hash = hash_name(name);
        for (std::size_t i = 0; i < name_hashes_.size(); ++i) {
            if (name_hashes_[i] == hash && patterns_[i].name() == name) {
                return patterns_[i].sample(pip_count);
            }
        }
    }
    return kinetrope::sample(name, pip_count);
}

std::vector<PatternInfo> PatternLibrary::catalogue() const {
    const std::vector<PatternInfo>& defaults = default_catalogue();
    std::vector<PatternInfo> entries;
    entries.reserve(defaults.size() + patterns_.size());
    entries.insert(entries.end(), defaults.begin(), defaults.end());
    for (const SampledPattern& pattern : patterns_) {
        // Kept patterns have 1 to 65535 samples, so the period fits.
        entries.push_back({pattern.name(), pattern.description(), static_cast<std::uint16_t>(pattern.period_pips()),
                           pattern.dimensions()});
    }
    return entries;
}

}  // namespace kinetrope
