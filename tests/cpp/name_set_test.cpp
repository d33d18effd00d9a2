#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kinetrope/name_set.hpp"

namespace {

using kinetrope::NameSet;

// Names that share lengths, prefixes and bytes in other places, so that
// probing runs over occupied slots; every name is new once and a repeat
// afterwards, wherever it was first added.
TEST(NameSet, FindsEveryRepeatAndOnlyRepeats) {
    std::vector<std::string> names;
    for (int i = 0; i < 50000; ++i) {
        std::string name(1, 'a');
        name += std::to_string(i);
        names.push_back(name);
        name += '_';
        names.push_back(name);
    }
    names.push_back(std::string(128, 'z'));
    names.push_back(std::string(127, 'z'));

    NameSet set(names.size());
    for (const std::string& name : names) {
        EXPECT_TRUE(set.insert(name)) << name;
    }
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        const std::string copy = *it;  // other storage, same bytes
        EXPECT_FALSE(set.insert(copy)) << copy;
    }
}

TEST(NameSet, SmallSetsAndNamesDifferingInOneByte) {
    struct Case {
        std::vector<std::string> names;
        std::vector<bool> added;
    };
    const Case cases[] = {
        {{"x"}, {true}},
        {{"x", "x"}, {true, false}},
        {{"ab", "ba", "ab", "a", "b"}, {true, true, false, true, true}},
        {{"name_a", "name_b", "name_a", "name_b"}, {true, true, false, false}},
    };
    for (const Case& c : cases) {
        NameSet set(c.names.size());
        for (std::size_t i = 0; i < c.names.size(); ++i) {
            EXPECT_EQ(set.insert(c.names[i]), c.added[i]) << c.names[i] << " at " << i;
        }
    }
}

}  // namespace
