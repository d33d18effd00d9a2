// Moved-from patterns, libraries and recordings cannot be reached from
// Python (the bindings copy patterns and never move a held object), so their
// behaviour is checked here on the core types.
#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "kinetrope/catalogue.hpp"
#include "kinetrope/default_sampler.hpp"
#include "kinetrope/pattern_library.hpp"
#include "kinetrope/sampled_pattern.hpp"
#include "kinetrope/sampled_recording.hpp"

namespace {

using kinetrope::Offset3;
using kinetrope::PatternLibrary;
using kinetrope::SampledPattern;
using kinetrope::SampledRecording;

// Runs f and returns the message of the exception of type E that it throws;
// fails the test when it throws nothing or something else.
template <typename E, typename F>
std::string message_of(F&& f) {
    try {
        std::forward<F>(f)();
    } catch (const E& error) {
        return error.what();
    } catch (const std::exception& other) {
        ADD_FAILURE() << "unexpected exception: " << other.what();
        return {};
    }
    ADD_FAILURE() << "nothing thrown";
    return {};
}

SampledPattern make_pattern(const std::string& name, std::vector<Offset3> samples) {
    std::string description = "desc of ";
    description.append(name);
    return SampledPattern(name, std::move(description), std::move(samples));
}

// A pattern whose z is used, so that the moved-from state can be seen to
// keep the dimensions.
SampledPattern three_d(const std::string& name) { return make_pattern(name, {{0.5, 0.0, 0.0}, {0.0, 0.0, -0.25}}); }

TEST(SampledPatternMove, LeavesSourceEmptyAndUnsampleable) {
    SampledPattern source = three_d("p");
    const SampledPattern target = std::move(source);

    EXPECT_EQ(target.name(), "p");
    EXPECT_EQ(target.description(), "desc of p");
    EXPECT_EQ(target.period_pips(), 2u);
    EXPECT_EQ(target.sample(-1).z, -0.25);

    EXPECT_EQ(source.name(), "");
    EXPECT_EQ(source.description(), "");
    EXPECT_EQ(source.period_pips(), 0u);
    EXPECT_TRUE(source.samples().empty());
    EXPECT_EQ(source.dimensions(), 3);
    for (const std::int32_t pip : {0, 1, -1, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(message_of<std::logic_error>([&] { (void)source.sample(pip); }),
                  "Cannot sample a moved-from pattern");
    }
}

TEST(SampledPatternMove, AssignmentAndCopyOfMovedFrom) {
    SampledPattern source = three_d("p");
    SampledPattern target = make_pattern("q", {{0.1, 0.0, 0.0}});
    target = std::move(source);
    EXPECT_EQ(target.name(), "p");
    EXPECT_EQ(target.dimensions(), 3);
    EXPECT_TRUE(source.samples().empty());

    // A copy of a moved-from pattern is just as empty.
    const SampledPattern copy = source;
    EXPECT_EQ(message_of<std::logic_error>([&] { (void)copy.sample(0); }), "Cannot sample a moved-from pattern");

    // A copy of a valid pattern is deep: the source is untouched.
    SampledPattern original = three_d("r");
    const SampledPattern deep = original;
    const SampledPattern moved = std::move(original);
    EXPECT_EQ(deep.name(), "r");
    EXPECT_EQ(deep.sample(1).z, -0.25);
}

struct LibraryCase {
    const char* label;
    std::vector<int> layout;  // >= 0: a pattern named "p<n>"; -1: a moved-from pattern
    const char* message;
};

class LibraryMovedFrom : public ::testing::TestWithParam<LibraryCase> {};

// The moved-from check is the first of each pattern's checks, so it decides
// against a later duplicate but not against an earlier one.
TEST_P(LibraryMovedFrom, ReportsTheFirstFailingPattern) {
    const LibraryCase& c = GetParam();
    std::vector<SampledPattern> patterns;
    for (const int n : c.layout) {
        std::string name = "p";
        name.append(std::to_string(n < 0 ? 99 : n));
        SampledPattern pattern = three_d(name);
        if (n < 0) {
            SampledPattern thief = std::move(pattern);
        }
        patterns.push_back(std::move(pattern));
    }
    EXPECT_EQ(message_of<std::invalid_argument>([&] { PatternLibrary library(std::move(patterns)); }), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Order, LibraryMovedFrom,
    ::testing::Values(LibraryCase{"alone", {-1}, "Empty/moved-from pattern"},
                      LibraryCase{"after_valid", {0, 1, -1}, "Empty/moved-from pattern"},
                      LibraryCase{"before_duplicate", {0, -1, 0}, "Empty/moved-from pattern"},
                      LibraryCase{"after_duplicate", {0, 0, -1}, "Duplicate pattern name: p0"},
                      LibraryCase{"two_moved_from", {-1, -1}, "Empty/moved-from pattern"}),
    [](const ::testing::TestParamInfo<LibraryCase>& info) { return std::string(info.param.label); });

TEST(PatternLibraryCore, TooManyCountsMovedFromPatternsToo) {
    std::vector<SampledPattern> patterns(1025, three_d("p"));
    for (SampledPattern& pattern : patterns) {
        SampledPattern thief = std::move(pattern);
    }
    EXPECT_EQ(message_of<std::invalid_argument>([&] { PatternLibrary library(std::move(patterns)); }),
              "Too many patterns");
}

TEST(PatternLibraryCore, KeepsOwnPatternsInOrderAndDropsExactDefaults) {
    std::vector<Offset3> bounce_rows;
    for (std::int32_t pip = 0; pip < 64; ++pip) {
        bounce_rows.push_back(kinetrope::sample("bounce", pip));
    }
    std::vector<SampledPattern> given;
    given.push_back(three_d("zeta"));
    given.push_back(SampledPattern("bounce", "One-beat vertical bounce", bounce_rows));
    given.push_back(three_d("alpha"));
    const PatternLibrary library(std::move(given));

    ASSERT_EQ(library.patterns().size(), 2u);
    EXPECT_EQ(library.patterns()[0].name(), "zeta");
    EXPECT_EQ(library.patterns()[1].name(), "alpha");

    const std::vector<kinetrope::PatternInfo> entries = library.catalogue();
    const std::vector<kinetrope::PatternInfo>& defaults = kinetrope::default_catalogue();
    ASSERT_EQ(entries.size(), defaults.size() + 2);
    EXPECT_EQ(entries[defaults.size()].name, "zeta");
    EXPECT_EQ(entries[defaults.size()].dimensions, 3);
    EXPECT_EQ(entries[defaults.size()].period_pips, 2);
    EXPECT_EQ(entries[defaults.size() + 1].name, "alpha");
    // The appended entries view the library's own strings.
    EXPECT_EQ(entries[defaults.size() + 1].description.data(), library.patterns()[1].description().data());
}

SampledRecording make_recording() {
    return SampledRecording("rec", {"x", "y"}, {{0.25, -0.5}, {1.0, -1.0}, {0.0, 0.75}}, 120.0, 0.5, -1);
}

TEST(SampledRecordingMove, LeavesSourceWithoutAxesOrRows) {
    SampledRecording source = make_recording();
    const SampledRecording target = std::move(source);

    EXPECT_EQ(target.sample_count(), 3u);
    EXPECT_EQ(target.sample(1), (std::vector<double>{0.0, 0.75}));

    EXPECT_EQ(source.name(), "");
    EXPECT_TRUE(source.dimensions().empty());
    EXPECT_TRUE(source.samples().empty());
    EXPECT_EQ(source.sample_count(), 0u);
    for (const std::int32_t pip : {-1, 0, 1, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(message_of<std::out_of_range>([&] { (void)source.sample(pip); }),
                  "Pip outside non-looping recording");
    }

    SampledRecording assigned = make_recording();
    SampledRecording other = make_recording();
    assigned = std::move(other);
    EXPECT_EQ(assigned.sample(-1), (std::vector<double>{0.25, -0.5}));
    EXPECT_EQ(other.sample_count(), 0u);
}

// Bounds are computed in 64 bits, so recordings at either end of the pip
// range neither wrap nor overflow.
TEST(SampledRecordingCore, RangeAtTheEndsOfThePipType) {
    const SampledRecording low("low", {"a"}, {{0.5}, {-0.5}}, 60.0, 0.0, INT32_MIN);
    EXPECT_EQ(low.sample(INT32_MIN), std::vector<double>{0.5});
    EXPECT_EQ(low.sample(INT32_MIN + 1), std::vector<double>{-0.5});
    EXPECT_THROW((void)low.sample(INT32_MIN + 2), std::out_of_range);
    EXPECT_THROW((void)low.sample(INT32_MAX), std::out_of_range);

    const SampledRecording high("high", {"a"}, {{0.5}, {-0.5}}, 60.0, 0.0, INT32_MAX - 2);
    EXPECT_EQ(high.sample(INT32_MAX - 1), std::vector<double>{-0.5});
    EXPECT_THROW((void)high.sample(INT32_MAX), std::out_of_range);
    EXPECT_THROW((void)high.sample(INT32_MIN), std::out_of_range);
}

}  // namespace

namespace {

using kinetrope::FlatRows;

// Rows laid end to end the way the Python conversion lays them.
FlatRows flatten(const std::vector<std::vector<double>>& rows) {
    FlatRows flat;
    flat.row_count = rows.size();
    if (!rows.empty()) {
        flat.row_length = rows.front().size();
    }
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const std::vector<double>& row = rows[index];
        if (row.size() == flat.row_length && flat.leading_rows == index) {
            ++flat.leading_rows;
        }
        flat.values.insert(flat.values.end(), row.begin(), row.end());
    }
    return flat;
}

struct RowsCase {
    const char* label;
    std::vector<std::vector<double>> rows;
    const char* message;  // nullptr: accepted
};

class RecordingRows : public ::testing::TestWithParam<RowsCase> {};

// Nested rows and flat rows give the same recording or the same error.
TEST_P(RecordingRows, FlatAndNestedAgree) {
    const RowsCase& c = GetParam();
    const std::vector<std::string> axes{"a", "b"};
    auto nested = [&] { return SampledRecording("r", axes, c.rows, 120.0, 0.0, 5); };
    auto flat = [&] { return SampledRecording("r", axes, flatten(c.rows), 120.0, 0.0, 5); };
    if (c.message == nullptr) {
        const SampledRecording a = nested();
        const SampledRecording b = flat();
        EXPECT_EQ(a.samples(), b.samples());
        EXPECT_EQ(b.sample_count(), c.rows.size());
        EXPECT_EQ(b.sample(5 + static_cast<std::int32_t>(c.rows.size()) - 1), c.rows.back());
    } else {
        EXPECT_EQ(message_of<std::invalid_argument>(nested), c.message);
        EXPECT_EQ(message_of<std::invalid_argument>(flat), c.message);
    }
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Rows, RecordingRows,
    ::testing::Values(RowsCase{"one_row", {{0.5, -0.5}}, nullptr},
                      RowsCase{"three_rows", {{0.5, -0.5}, {1.0, -1.0}, {-0.0, 0.0}}, nullptr},
                      RowsCase{"no_rows", {}, "Empty recording or recording resource limit exceeded"},
                      RowsCase{"first_short", {{0.5}, {0.5, 0.5}}, "Ragged recording"},
                      RowsCase{"all_short", {{0.5}, {0.5}}, "Ragged recording"},
                      RowsCase{"all_long", {{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}}, "Ragged recording"},
                      RowsCase{"bad_then_ragged", {{0.5, 2.0}, {0.5}}, "Invalid sample"},
                      RowsCase{"ragged_then_bad", {{0.5, 0.5}, {0.5}, {kNaN, 0.5}}, "Ragged recording"},
                      RowsCase{"ragged_holding_bad", {{0.5, 0.5}, {0.5, 0.5, 2.0}}, "Ragged recording"},
                      RowsCase{"ragged_in_middle", {{0.5, 0.5}, {}, {0.5, 0.5}}, "Ragged recording"},
                      RowsCase{"nan_last", {{0.5, 0.5}, {0.5, kNaN}}, "Invalid sample"}),
    [](const ::testing::TestParamInfo<RowsCase>& info) { return std::string(info.param.label); });

// Flat rows whose counts do not add up are refused as ragged, never read
// past their values.
TEST(RecordingRowsFlat, InconsistentCountsAreRagged) {
    FlatRows flat;
    flat.values = {0.5, 0.5, 0.5};
    flat.row_count = 2;
    flat.row_length = 2;
    flat.leading_rows = 2;
    EXPECT_EQ(message_of<std::invalid_argument>([&] { SampledRecording("r", {"a", "b"}, flat, 60.0, 0.0, 0); }),
              "Ragged recording");
    flat.leading_rows = 7;
    flat.values = {0.5, 0.5, 0.5, 0.5};
    flat.row_count = 2;
    const SampledRecording accepted("r", {"a", "b"}, flat, 60.0, 0.0, 0);
    EXPECT_EQ(accepted.sample_count(), 2u);
}

// The flat values become the recording's array itself.
TEST(RecordingRowsFlat, ValuesAreAdoptedNotCopied) {
    FlatRows flat = flatten({{0.25, 0.5}, {0.75, 1.0}});
    const double* data = flat.values.data();
    const SampledRecording recording("r", {"a", "b"}, std::move(flat), 60.0, 0.0, 0);
    EXPECT_EQ(recording.samples().data(), data);
}

}  // namespace
