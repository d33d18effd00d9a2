// A recording of named axes: one row of values per pip over a contiguous
// range starting at start_pip, with the tempo and beat origin it was taken
// at. It does not loop; a pip outside the range is an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kinetrope {

// At most this many values in all (64 MiB of doubles), so also at most this
// many axes.
inline constexpr std::size_t MAX_RECORDING_VALUES = std::size_t{1} << 23;

// Rows laid end to end, as a converter builds them without one allocation
// per row: all values row after row, the number of rows, the length of the
// first row and how many rows, from the first, have that length. Only the
// rows before the first one of another length can be well formed, and a
// recording adopts the values as they are when every row is.
struct FlatRows {
    // Declared so that a braced list of rows never reads as a FlatRows.
    FlatRows() = default;

    std::vector<double> values;
    std::size_t row_count = 0;
    std::size_t row_length = 0;
    std::size_t leading_rows = 0;
};

class SampledRecording {
public:
    // Throws std::invalid_argument "Invalid identifier", "A finite positive
    // BPM and beat origin are required", "Empty recording or recording
    // resource limit exceeded", "Invalid identifier" / "Duplicate axis" (axis
    // by axis), "Ragged recording" or "Invalid sample", in that order.
    SampledRecording(std::string name, std::vector<std::string> dimensions, std::vector<std::vector<double>> rows,
                     double bpm, double beat_zero_seconds, std::int32_t start_pip);
    // The same checks in the same order on rows already laid end to end; the
    // values are adopted, not copied.
    SampledRecording(std::string name, std::vector<std::string> dimensions, FlatRows rows, double bpm,
                     double beat_zero_seconds, std::int32_t start_pip);

    SampledRecording(const SampledRecording&) = default;
    SampledRecording& operator=(const SampledRecording&) = default;
    // A move leaves the source with an empty name, no axes and no values.
    SampledRecording(SampledRecording&& other) noexcept;
    SampledRecording& operator=(SampledRecording&& other) noexcept;
    ~SampledRecording() = default;

    const std::string& name() const noexcept { return name_; }
    const std::vector<std::string>& dimensions() const noexcept { return dimensions_; }
    // Row after row: axis a of row r is at r * axes + a.
    const std::vector<double>& samples() const noexcept { return samples_; }
    double bpm() const noexcept { return bpm_; }
    double beat_zero_seconds() const noexcept { return beat_zero_seconds_; }
    std::int32_t start_pip() const noexcept { return start_pip_; }
    // The number of rows; 0 without axes (only after a move).
    std::uint64_t sample_count() const noexcept;

    // The row recorded at this pip, one value per axis. Throws
    // std::out_of_range "Pip outside non-looping recording" outside
    // [start_pip, start_pip + sample_count).
    std::vector<double> sample(std::int32_t pip) const;

private:
    // Takes the fields and runs every check that comes before the rows.
    SampledRecording(std::string name, std::vector<std::string> dimensions, double bpm, double beat_zero_seconds,
                     std::int32_t start_pip, std::size_t row_count);

    std::string name_;
    std::vector<std::string> dimensions_;
    std::vector<double> samples_;
    double bpm_;
    double beat_zero_seconds_;
    std::int32_t start_pip_;
};

}  // namespace kinetrope
