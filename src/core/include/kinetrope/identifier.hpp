// The identifier rule shared by pattern names, recording names and axis
// names: 1 to 128 bytes of a-z, 0-9 and _, starting with a letter.
#pragma once

#include <cstddef>
#include <string_view>

namespace kinetrope {

inline constexpr std::size_t MAX_IDENTIFIER_BYTES = 128;

constexpr bool is_identifier(std::string_view text) noexcept {
    if (text.empty() || text.size() > MAX_IDENTIFIER_BYTES) {
        return false;
    }
    if (text.front() < 'a' || text.front() > 'z') {
        return false;
    }
    for (const char c : text) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

}  // namespace kinetrope
