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

namespace detail {

// Eight bytes as a big-endian word; written out so the compiler sees one load.
inline std::uint64_t load_big_endian(const char* at) noexcept {
    unsigned char b[8];
    std::memcpy(b, at, 8);
    return std::uint64_t{b[0]} << 56 | std::uint64_t{b[1]} << 48 | std::uint64_t{b[2]} << 40 |
           std::uint64_t{b[3]} << 32 | std::uint64_t{b[4]} << 24 | std::uint64_t{b[5]} << 16 |
           std::uint64_t{b[6]} << 8 | std::uint64_t{b[7]};
}

}  // namespace detail

constexpr NameKey name_key(std::string_view name) noexcept {
    NameKey key{};
    const std::size_t size = name.size();
    if (std::is_constant_evaluated() || size < 8) {
        for (std::size_t i = 0; i < 32; ++i) {
            const auto byte = i < size ? static_cast<unsigned char>(name[i]) : 0u;
            key.words[i / 8] = (key.words[i / 8] << 8) | byte;
        }
        return key;
    }
    // Whole words load directly; a partial last word is the eight bytes that
    // end the name, shifted left so that its padding is zero.
    const char* data = name.data();
    const std::size_t whole = size < 32 ? size / 8 : 4;
    for (std::size_t w = 0; w < whole; ++w) {
        key.words[w] = detail::load_big_endian(data + 8 * w);
    }
    if (whole < 4 && size % 8 != 0) {
        key.words[whole] = detail::load_big_endian(data + size - 8) << (8 * (8 - size % 8));
    }
    return key;
}

// name_key of each record's name, in name index order.
extern const std::span<const NameKey> builtin_name_keys;

#ifdef KINETROPE_CHECKED_TABLE_READS
// Reports a row read outside its block or past the table and aborts. The rows
// are placed by the assembler, without the guard zones that would let a
// memory checker see such a read, so checked builds test every row read.
[[noreturn]] void table_read_out_of_bounds(std::size_t first_row, std::size_t period, std::size_t index) noexcept;
#endif

// Row `index` of the block of `period` rows that starts at row `first_row`.
inline Offset3 builtin_row(std::size_t first_row, [[maybe_unused]] std::size_t period, std::size_t index) noexcept {
#ifdef KINETROPE_CHECKED_TABLE_READS
    if (index >= period || builtin_samples.size() / 3 < first_row + period) {
        table_read_out_of_bounds(first_row, period, index);
    }
#endif
    const double* row = kinetrope_builtin_samples + 3 * (first_row + index);
    return {row[0], row[1], row[2]};
}

// The sampler of the record whose block of Period rows starts at row
// FirstRow; the constant period lets the compiler strength-reduce the wrap.
template <std::size_t FirstRow, std::int32_t Period>
Offset3 sample_builtin_block(std::int32_t pip) noexcept {
    return builtin_row(FirstRow, Period, static_cast<std::size_t>(wrap_pip(pip, Period)));
}

// Lower-bound search of the name index; nullptr when no record bears the name.
const BuiltinPattern* find_builtin(std::string_view name) noexcept;

}  // namespace kinetrope
