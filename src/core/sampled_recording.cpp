#include "kinetrope/sampled_recording.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "kinetrope/identifier.hpp"
#include "kinetrope/name_set.hpp"

namespace kinetrope {

namespace {

// Also false for NaN.
bool valid_value(double value) noexcept { return std::fabs(value) <= 1.0; }

}  // namespace

SampledRecording::SampledRecording(std::string name, std::vector<std::string> dimensions, double bpm,
                                   double beat_zero_seconds, std::int32_t start_pip, std::size_t row_count)
    : name_(std::move(name)),
      dimensions_(std::move(dimensions)),
      bpm_(bpm),
      beat_zero_seconds_(beat_zero_seconds),
      start_pip_(start_pip) {
    if (!is_identifier(name_)) {
        throw std::invalid_argument("Invalid identifier");
    }
    // A positive tempo so small that a beat would last forever is refused
    // with the non-finite ones.
    if (!std::isfinite(bpm_) || !(bpm_ > 0.0) || !std::isfinite(60.0 / bpm_) || !std::isfinite(beat_zero_seconds_)) {
        throw std::invalid_argument("A finite positive BPM and beat origin are required");
    }

    const std::size_t axes = dimensions_.size();
    // The row limit is a division, so rows * axes is never formed before it
    // is known to fit; once the rows are known to be at most 2^23, the last
    // pip is computed in 64 bits.
    if (axes == 0 || axes > MAX_RECORDING_VALUES || row_count == 0 || row_count > MAX_RECORDING_VALUES / axes ||
        static_cast<std::int64_t>(row_count) + start_pip_ > std::numeric_limits<std::int32_t>::max()) {
        throw std::invalid_argument("Empty recording or recording resource limit exceeded");
    }

    NameSet seen(axes);
    for (const std::string& axis : dimensions_) {
        if (!is_identifier(axis)) {
            throw std::invalid_argument("Invalid identifier");
        }
        if (!seen.insert(axis)) {
            throw std::invalid_argument("Duplicate axis");
        }
    }
}

SampledRecording::SampledRecording(std::string name, std::vector<std::string> dimensions,
                                   std::vector<std::vector<double>> rows, double bpm, double beat_zero_seconds,
                                   std::int32_t start_pip)
    : SampledRecording(std::move(name), std::move(dimensions), bpm, beat_zero_seconds, start_pip, rows.size()) {
    const std::size_t axes = dimensions_.size();
    samples_.reserve(rows.size() * axes);
    for (const std::vector<double>& row : rows) {
        if (row.size() != axes) {
            throw std::invalid_argument("Ragged recording");
        }
        for (const double value : row) {
            if (!valid_value(value)) {
                throw std::invalid_argument("Invalid sample");
            }
            samples_.push_back(value);
        }
    }
}

SampledRecording::SampledRecording(std::string name, std::vector<std::string> dimensions, FlatRows rows, double bpm,
                                   double beat_zero_seconds, std::int32_t start_pip)
    : SampledRecording(std::move(name), std::move(dimensions), bpm, beat_zero_seconds, start_pip, rows.row_count) {
    const std::size_t axes = dimensions_.size();
    // Rows of the right length come first, row_length values each; the next
    // row, if any, is the first ragged one.
    const std::size_t whole_rows = rows.row_length == axes ? std::min(rows.leading_rows, rows.row_count) : 0;
    const std::size_t checked = std::min(whole_rows * axes, rows.values.size());
    for (std::size_t i = 0; i < checked; ++i) {
        if (!valid_value(rows.values[i])) {
            throw std::invalid_argument("Invalid sample");
        }
    }
    if (whole_rows < rows.row_count || rows.values.size() != rows.row_count * axes) {
        throw std::invalid_argument("Ragged recording");
    }
    samples_ = std::move(rows.values);
}

SampledRecording::SampledRecording(SampledRecording&& other) noexcept
    : name_(std::exchange(other.name_, std::string())),
      dimensions_(std::exchange(other.dimensions_, std::vector<std::string>())),
      samples_(std::exchange(other.samples_, std::vector<double>())),
      bpm_(other.bpm_),
      beat_zero_seconds_(other.beat_zero_seconds_),
      start_pip_(other.start_pip_) {}

SampledRecording& SampledRecording::operator=(SampledRecording&& other) noexcept {
    if (this != &other) {
        name_ = std::exchange(other.name_, std::string());
        dimensions_ = std::exchange(other.dimensions_, std::vector<std::string>());
        samples_ = std::exchange(other.samples_, std::vector<double>());
        bpm_ = other.bpm_;
        beat_zero_seconds_ = other.beat_zero_seconds_;
        start_pip_ = other.start_pip_;
    }
    return *this;
}

std::uint64_t SampledRecording::sample_count() const noexcept {
    return dimensions_.empty() ? 0 : samples_.size() / dimensions_.size();
}

std::vector<double> SampledRecording::sample(std::int32_t pip) const {
    const std::int64_t row = std::int64_t{pip} - std::int64_t{start_pip_};
    if (row < 0 || static_cast<std::uint64_t>(row) >= sample_count()) {
        throw std::out_of_range("Pip outside non-looping recording");
    }
    const std::size_t axes = dimensions_.size();
    const auto first = samples_.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(row) * axes);
    return std::vector<double>(first, first + static_cast<std::ptrdiff_t>(axes));
}

}  // namespace kinetrope
