#include "kinetrope/builtin_table.hpp"

namespace kinetrope {

const BuiltinPattern* find_builtin(std::string_view name) noexcept {
    // Lower bound over the name index; string_view orders bytewise as unsigned
    // bytes, the shorter name first when one is a prefix of the other.
    std::size_t first = 0;
    std::size_t count = builtin_name_index.size();
    while (count > 0) {
        const std::size_t half = count / 2;
        if (builtin_patterns[builtin_name_index[first + half]].name < name) {
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
