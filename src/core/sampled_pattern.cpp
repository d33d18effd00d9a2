#include "kinetrope/sampled_pattern.hpp"

#include <stdexcept>
#include <utility>

#include "kinetrope/identifier.hpp"

namespace kinetrope {
namespace {

// One comparison pair refuses NaN (every comparison with it is false), the
// infinities and everything outside the closed range.
bool within_unit(double value) noexcept { return value >= -1.0 && value <= 1.0; }

}  // namespace

SampledPattern::SampledPattern(std::string name, std::string description, std::vector<Offset3> samples)
    : name_(std::move(name)), description_(std::move(description)), samples_(std::move(samples)) {
    if (!is_identifier(name_)) {
        throw std::invalid_argument("Invalid pattern name");
    }
    if (samples_.empty() || samples_.size() > MAX_PATTERN_SAMPLES) {
        throw std::invalid_argument("A pattern requires 1..65535 samples (one per pip)");
    }
    for (const Offset3& point : samples_) {
        if (!within_unit(point.x) || !within_unit(point.y) || !within_unit(point.z)) {
            throw std::invalid_argument("Pattern samples must be finite and within [-1, 1]");
        }
        // -0.0 compares equal to zero, so it never raises the count.
        if (point.z != 0.0) {
            dimensions_ = 3;
        } else if (point.y != 0.0 && dimensions_ != 3) {
            dimensions_ = 2;
        }
    }
}

SampledPattern::SampledPattern(SampledPattern&& other) noexcept
    : name_(std::exchange(other.name_, std::string())),
      description_(std::exchange(other.description_, std::string())),
      samples_(std::exchange(other.samples_, std::vector<Offset3>())),
      dimensions_(other.dimensions_) {}

SampledPattern& SampledPattern::operator=(SampledPattern&& other) noexcept {
    if (this != &other) {
        name_ = std::exchange(other.name_, std::string());
        description_ = std::exchange(other.description_, std::string());
        samples_ = std::exchange(other.samples_, std::vector<Offset3>());
        dimensions_ = other.dimensions_;
    }
    return *this;
}

Offset3 SampledPattern::sample(std::int32_t pip_count) const {
    if (samples_.empty()) {
        throw std::logic_error("Cannot sample a moved-from pattern");
    }
    // At most 65535 samples, so the period fits the pip type.
    const auto period = static_cast<std::int32_t>(samples_.size());
    return samples_[static_cast<std::size_t>(wrap_pip(pip_count, period))];
}

}  // namespace kinetrope
