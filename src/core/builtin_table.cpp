#include "kinetrope/builtin_table.hpp"

#ifdef KINETROPE_CHECKED_TABLE_READS
#include <cstdio>
#include <cstdlib>
#endif

namespace kinetrope {
namespace {

// Whether the record at this index position orders before the query: its key
// decides unless the two keys are equal, which only a query longer than 32
// bytes or with NUL bytes can make happen.
bool orders_before(std::size_t position, const NameKey& key, std::string_view name) noexcept {
    const NameKey& probe = builtin_name_keys[position];
    for (std::size_t w = 0; w < 4; ++w) {
        if (probe.words[w] != key.words[w]) {
            return probe.words[w] < key.words[w];
        }
    }
    return builtin_patterns[builtin_name_index[position]].name < name;
}

}  // namespace

#ifdef KINETROPE_CHECKED_TABLE_READS
void table_read_out_of_bounds(std::size_t first_row, std::size_t period, std::size_t index) noexcept {
    std::fprintf(stderr,
                 "kinetrope: built-in table read out of bounds: row %zu of the block of %zu rows at row %zu "
                 "(the table has %zu rows)\n",
                 index, period, first_row, builtin_samples.size() / 3);
    std::abort();
}
#endif

const BuiltinPattern* find_builtin(std::string_view name) noexcept {
    // Lower bound over the name index; string_view orders bytewise as unsigned
    // bytes, the shorter name first when one is a prefix of the other.
    const NameKey key = name_key(name);
    std::size_t first = 0;
    std::size_t count = builtin_name_index.size();
    while (count > 0) {
        const std::size_t half = count / 2;
        if (orders_before(first + half, key, name)) {
            first += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    if (first == builtin_name_index.size()) {
        return nullptr;
    }
    const BuiltinPattern& found = builtin_patterns[builtin_name_index[first]];
    return found.name == name ? &found : nullptr;
}

}  // namespace kinetrope
