// The built-in tabulated patterns: one record per pattern, a name index sorted
// bytewise, and one contiguous array of x, y, z rows. All three are constant
// data in the module image; nothing here is computed at load time.
#pragma once

#include <cstddef>
#include <cstring>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "kinetrope/time.hpp"

extern "C" const double kinetrope_builtin_samples[];

namespace kinetrope {

using BuiltinSampler = Offset3 (*)(std::int32_t pip) noexcept;

struct BuiltinPattern {
    std::string_view name;
    std::string_view description;
    std::uint16_t period_pips;
    std::uint8_t dimensions;
    BuiltinSampler sampler;
};

extern const std::span<const BuiltinPattern> builtin_patterns;
extern const std::span<const std::uint64_t> builtin_name_index;
extern const std::span<const double> builtin_samples;

// The first 32 bytes of a name as four big-endian words, zero-padded. Two
// names whose keys differ order as their keys do, so a probe of the name
// search is a few integer comparisons on one contiguous entry; only equal
// keys (a name longer than 32 bytes, or one with NUL bytes) need the names.
struct NameKey {
    std::uint64_t words[4];

    friend constexpr bool operator==(const NameKey&, const NameKey&) = default;
};

// Copies the first min(size, 32) bytes of the name into a zeroed buffer with
// fixed-size, possibly overlapping copies, which compile to plain loads.
inline void copy_name_prefix(unsigned char (&bytes)[32], std::string_view name) noexcept {
    const char* data = name.data();
    const std::size_t size = name.size();
    if (size >= 32) {
        std::memcpy(bytes, data, 32);
    } else if (size >= 16) {
        std::memcpy(bytes, data, 16);
        std::memcpy(bytes + size - 16, data + size - 16, 16);
    } else if (size >= 8) {
        std::memcpy(bytes, data, 8);
        std::memcpy(bytes + size - 8, data + size - 8, 8);
    } else {
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(data[i]);
    }
}

constexpr NameKey name_key(std::string_view name) noexcept {
    unsigned char bytes[32] = {};
    if (std::is_constant_evaluated()) {
        for (std::size_t i = 0; i < name.size() && i < 32; ++i) bytes[i] = static_cast<unsigned char>(name[i]);
    } else {
        copy_name_prefix(bytes, name);
    }
    // Written out so that the compiler sees four big-endian loads.
    const auto word = [&bytes](std::size_t at) {
        return std::uint64_t{bytes[at]} << 56 | std::uint64_t{bytes[at + 1]} << 48 |
               std::uint64_t{bytes[at + 2]} << 40 | std::uint64_t{bytes[at + 3]} << 32 |
               std::uint64_t{bytes[at + 4]} << 24 | std::uint64_t{bytes[at + 5]} << 16 |
               std::uint64_t{bytes[at + 6]} << 8 | std::uint64_t{bytes[at + 7]};
    };
    return {{word(0), word(8), word(16), word(24)}};
}

// Lexicographic order of the words: the order of the zero-padded names.
constexpr bool key_before(const NameKey& a, const NameKey& b) noexcept {
    for (std::size_t w = 0; w < 4; ++w) {
        if (a.words[w] != b.words[w]) return a.words[w] < b.words[w];
    }
    return false;
}

// name_key of each record's name, in name index order.
extern const std::span<const NameKey> builtin_name_keys;

// The sampler of the record whose block of Period rows starts at row
// FirstRow; the constant period lets the compiler strength-reduce the wrap.
template <std::size_t FirstRow, std::int32_t Period>
Offset3 sample_builtin_block(std::int32_t pip) noexcept {
    const double* row = kinetrope_builtin_samples + 3 * (FirstRow + static_cast<std::size_t>(wrap_pip(pip, Period)));
    return {row[0], row[1], row[2]};
}

// Lower-bound search of the name index; nullptr when no record bears the name.
const BuiltinPattern* find_builtin(std::string_view name) noexcept;

}  // namespace kinetrope
