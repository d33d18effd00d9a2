#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>

#include "kinetrope/builtin_table.hpp"
#include "kinetrope/catalogue.hpp"
#include "kinetrope/default_sampler.hpp"

namespace {

using namespace kinetrope;

TEST(BuiltinTable, NameIndexIsAStrictlyAscendingPermutation) {
    ASSERT_EQ(builtin_name_index.size(), builtin_patterns.size());
    std::set<std::uint64_t> seen(builtin_name_index.begin(), builtin_name_index.end());
    EXPECT_EQ(seen.size(), builtin_patterns.size());
    EXPECT_LT(*seen.rbegin(), builtin_patterns.size());
    for (std::size_t i = 1; i < builtin_name_index.size(); ++i) {
        EXPECT_LT(builtin_patterns[builtin_name_index[i - 1]].name,
                  builtin_patterns[builtin_name_index[i]].name);
    }
    EXPECT_EQ(builtin_patterns[builtin_name_index.front()].name, "accent_walk_10_3");
    EXPECT_EQ(builtin_patterns[builtin_name_index.back()].name, "weave_5_9");
}

TEST(BuiltinTable, BlocksFollowOneAnotherAndEverySamplerReadsItsOwn) {
    std::size_t first_row = 0;
    for (const BuiltinPattern& record : builtin_patterns) {
        const std::int32_t period = record.period_pips;
        for (const std::int32_t pip : {0, 1, period - 1, period, -1, INT32_MIN, INT32_MAX}) {
            const std::size_t row = first_row + static_cast<std::size_t>(wrap_pip(pip, period));
            const Offset3 value = record.sampler(pip);
            EXPECT_EQ(std::memcmp(&value, &builtin_samples[3 * row], sizeof value), 0)
                << record.name << " at " << pip;
        }
        first_row += static_cast<std::size_t>(period);
        // Names are NUL-terminated literals even though every reader uses the length.
        EXPECT_EQ(record.name.data()[record.name.size()], '\0');
    }
    EXPECT_EQ(3 * first_row, builtin_samples.size());
}

TEST(BuiltinTable, FindsExactNamesOnly) {
    for (const BuiltinPattern& record : builtin_patterns) {
        EXPECT_EQ(find_builtin(record.name), &record);
        const std::string name(record.name);
        EXPECT_EQ(find_builtin(name.substr(0, name.size() - 1)), nullptr);
        EXPECT_EQ(find_builtin(name + std::string(1, '\0')), nullptr);
    }
    EXPECT_EQ(find_builtin(""), nullptr);
    EXPECT_EQ(find_builtin("\xff"), nullptr);
    EXPECT_EQ(find_builtin(std::string_view("lfo_breathe\0", 12)), nullptr);
}

TEST(DefaultSampler, UnknownNamesCarryTheirBytes) {
    for (const std::string& name : {std::string(), std::string("Bounce"), std::string("sway\0x", 6)}) {
        try {
            sample(name, 0);
            ADD_FAILURE() << "no exception for " << name;
        } catch (const std::invalid_argument& error) {
            EXPECT_EQ(std::string(error.what()), "Unknown dance rudiment: " + name.substr(0, name.find('\0')));
        }
    }
}

TEST(DefaultCatalogue, BuiltOnceWithAnalyticEntriesThenTheTable) {
    const std::vector<PatternInfo>& first = default_catalogue();
    const std::vector<PatternInfo>& second = default_catalogue();
    EXPECT_EQ(&first, &second);
    ASSERT_EQ(first.size(), 15 + builtin_patterns.size());
    EXPECT_EQ(first[0].name, "bounce");
    EXPECT_EQ(first[14].name, "five_stroke_roll");
    for (std::size_t k = 0; k < builtin_patterns.size(); ++k) {
        // Entries refer to the table's own literals, not to copies.
        EXPECT_EQ(first[15 + k].name.data(), builtin_patterns[k].name.data());
        EXPECT_EQ(first[15 + k].description.data(), builtin_patterns[k].description.data());
        EXPECT_EQ(first[15 + k].period_pips, builtin_patterns[k].period_pips);
        EXPECT_EQ(first[15 + k].dimensions, builtin_patterns[k].dimensions);
    }
}

}  // namespace

namespace {

using kinetrope::name_key;

// Lexicographic order of the key words: the order the search relies on.
bool key_before(const kinetrope::NameKey& a, const kinetrope::NameKey& b) {
    for (std::size_t w = 0; w < 4; ++w) {
        if (a.words[w] != b.words[w]) return a.words[w] < b.words[w];
    }
    return false;
}

TEST(NameKey, DifferentKeysOrderAsTheNamesDo) {
    const std::string_view names[] = {
        "",          std::string_view("\0", 1), "a",         std::string_view("a\0", 2),
        std::string_view("a\0b", 3), "ab",      "abcdefgh",  "abcdefgh_longer", "silhouette_harmonic_01_and_then_more", "silhouette_harmonic_01_and_then_more_x",
        "abcdefgi",  "accent_walk_10_3", "accent_walk_5_1", "weave_5_9", "\xff",
    };
    for (const std::string_view a : names) {
        for (const std::string_view b : names) {
            if (name_key(a) != name_key(b)) {
                EXPECT_EQ(key_before(name_key(a), name_key(b)), a < b) << a << " vs " << b;
            }
        }
    }
}

TEST(NameKey, StoredKeysFollowTheIndex) {
    ASSERT_EQ(kinetrope::builtin_name_keys.size(), kinetrope::builtin_name_index.size());
    for (std::size_t i = 0; i < kinetrope::builtin_name_index.size(); ++i) {
        EXPECT_EQ(kinetrope::builtin_name_keys[i],
                  name_key(kinetrope::builtin_patterns[kinetrope::builtin_name_index[i]].name));
    }
}

}  // namespace

namespace {

// The key of every name length, through the word loads, against a byte loop.
TEST(NameKey, WordLoadsMatchTheBytesAtEveryLength) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += static_cast<char>(i % 3 == 0 ? 0xf0 - i : 'a' + i);
    for (std::size_t size = 0; size <= text.size(); ++size) {
        const std::string_view name(text.data(), size);
        kinetrope::NameKey expected{};
        for (std::size_t i = 0; i < 32; ++i) {
            const unsigned byte = i < size ? static_cast<unsigned char>(name[i]) : 0u;
            expected.words[i / 8] = (expected.words[i / 8] << 8) | byte;
        }
        EXPECT_EQ(kinetrope::name_key(name), expected) << size;
    }
}

}  // namespace
