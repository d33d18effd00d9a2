// A set of names for finding repeats in linear expected time. Open
// addressing with linear probing over a power-of-two table that never gets
// more than half full; each slot keeps a view of the name and 32 bits of its
// hash, so name bytes are compared only when those bits and the length match.
// The names are viewed, not copied: they must outlive the set and stay where
// they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

namespace kinetrope {

class NameSet {
public:
    // Room for up to `count` names; inserting more is not allowed.
    explicit NameSet(std::size_t count) {
        std::size_t capacity = 8;
        while (capacity < count * 2) {
            capacity *= 2;
        }
        slots_.resize(capacity);
        mask_ = capacity - 1;
    }

    // Adds the name; false when an equal name (same bytes) was added before.
    // Names are shorter than 4 GiB (the callers' names are identifiers).
    bool insert(std::string_view name) {
        const std::uint64_t hash = std::hash<std::string_view>{}(name);
        const auto tag = static_cast<std::uint32_t>(hash >> 32);
        const auto size = static_cast<std::uint32_t>(name.size());
        for (std::size_t i = static_cast<std::size_t>(hash) & mask_;; i = (i + 1) & mask_) {
            Slot& slot = slots_[i];
            if (slot.data == nullptr) {
                slot = {name.data(), size, tag};
                return true;
            }
            if (slot.tag == tag && slot.size == size && std::memcmp(slot.data, name.data(), size) == 0) {
                return false;
            }
        }
    }

private:
    struct Slot {
        const char* data = nullptr;  // null: empty
        std::uint32_t size = 0;
        std::uint32_t tag = 0;
    };

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
};

}  // namespace kinetrope
