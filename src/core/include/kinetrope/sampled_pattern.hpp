// A user pattern given as data: one Offset3 per pip of its period, with a
// name and a free-text description. Validated once, immutable afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kinetrope/time.hpp"

namespace kinetrope {

inline constexpr std::size_t MAX_PATTERN_SAMPLES = 65535;

class SampledPattern {
public:
    // Throws std::invalid_argument "Invalid pattern name", "A pattern
    // requires 1..65535 samples (one per pip)" or "Pattern samples must be
    // finite and within [-1, 1]", checked in that order.
    SampledPattern(std::string name, std::string description, std::vector<Offset3> samples);

    SampledPattern(const SampledPattern&) = default;
    SampledPattern& operator=(const SampledPattern&) = default;
    // A move empties the source's strings and samples; its dimensions stay.
    SampledPattern(SampledPattern&& other) noexcept;
    SampledPattern& operator=(SampledPattern&& other) noexcept;
    ~SampledPattern() = default;

    const std::string& name() const noexcept { return name_; }
    const std::string& description() const noexcept { return description_; }
    std::uint64_t period_pips() const noexcept { return samples_.size(); }
    std::uint8_t dimensions() const noexcept { return dimensions_; }
    const std::vector<Offset3>& samples() const noexcept { return samples_; }

    // The sample at the pip wrapped into the period. Throws std::logic_error
    // "Cannot sample a moved-from pattern" when there are no samples.
    Offset3 sample(std::int32_t pip_count) const;

private:
    std::string name_;
    std::string description_;
    std::vector<Offset3> samples_;
    std::uint8_t dimensions_ = 1;
};

}  // namespace kinetrope
