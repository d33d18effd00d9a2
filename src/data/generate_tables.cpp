// Builds the built-in pattern table: runs every family in table order, rounds
// each value to 12 decimal places, checks the invariants every record must
// meet, and writes three files for the module build and one for the companion
// package:
//   builtin_records.cpp  the records (with one sampler each) and the name index
//   builtin_samples.bin  the rows, as little-endian doubles x, y, z
//   builtin_samples.S    an assembler file that places the .bin in .rodata
//   builtin.json         the beat scores and every default pattern's family
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "builtin_json.hpp"
#include "families.hpp"

namespace gen {
namespace {

// The patterns whose first row is the origin; every other pattern must start
// elsewhere. Twelve of them follow from their closed formulas.
const std::set<std::string> kStartsAtOrigin = {
    // closed formulas
    "lfo_breathe", "lfo_triplet_wobble", "path_lissajous_2_3", "path_woven_3d",
    "wave_pinched", "wave_shouldered", "wave_folded", "wave_double_fold",
    "wave_rounded_square", "wave_skew_warp", "wave_reed", "wave_ripple_return",
    // out-and-return easing loops leave from rest
    "ease_rebound", "ease_anticipate", "ease_overshoot", "ease_elastic",
    // envelopes rest between phrases
    "env_lift_hold_drop", "env_inhale_exhale", "env_triple_swell", "env_rising_echo",
    "env_falling_echo", "env_anticipation", "env_plateau_scoop", "env_hesitant",
    "env_double_hold", "env_swell_recoil", "env_late_release", "env_split_attack",
    "env_suspended", "env_valley_peaks", "env_four_breaths", "env_return_stair",
};

// Patterns in which x stays 0.0 and only y moves.
bool x_is_silent(const std::string& name) {
    return name == "lfo_double_pump" || name.rfind("env_", 0) == 0 ||
           name == "beat_four_floor_bounce";
}

constexpr double kLowest = -0.92;
constexpr double kHighest = 1.0;

void fail(const std::string& name, const std::string& what) {
    throw std::runtime_error(name + ": " + what);
}

void round_rows(Record& r) {
    for (Row& row : r.rows) {
        row = {round12(row.x), round12(row.y), round12(row.z)};
    }
}

double axis(const Row& row, int a) { return a == 0 ? row.x : a == 1 ? row.y : row.z; }

void check_record(const Record& r) {
    if (r.period % 32 != 0 || r.period < 160 || r.period > 1024) fail(r.name, "period");
    if (static_cast<int>(r.rows.size()) != r.period) fail(r.name, "row count differs from period");
    if (r.dimensions < 1 || r.dimensions > 3) fail(r.name, "dimensions");
    bool moves[3] = {false, false, false};
    for (const Row& row : r.rows) {
        for (int a = 0; a < 3; ++a) {
            const double v = axis(row, a);
            if (!std::isfinite(v) || v < kLowest || v > kHighest) {
                fail(r.name, "value " + std::to_string(v) + " outside [-0.92, 1]");
            }
            if (std::signbit(v) && v == 0.0) fail(r.name, "negative zero");
            if (v != 0.0) {
                if (a >= r.dimensions) fail(r.name, "axis beyond its dimensions moves");
                moves[a] = true;
            }
        }
    }
    if (r.dimensions == 3 && !(moves[0] && moves[1] && moves[2])) {
        fail(r.name, "a three-dimensional pattern must move on all three axes");
    }
    if (x_is_silent(r.name) ? moves[0] : !moves[0]) fail(r.name, "x lane");
    if (r.dimensions >= 2 && !moves[1]) fail(r.name, "y does not move");
    // The seam is no rougher than the roughest step inside the loop.
    for (int a = 0; a < 3; ++a) {
        double largest = 0.0;
        for (std::size_t i = 1; i < r.rows.size(); ++i) {
            largest = std::max(largest, std::fabs(axis(r.rows[i], a) - axis(r.rows[i - 1], a)));
        }
        const double seam = std::fabs(axis(r.rows.front(), a) - axis(r.rows.back(), a));
        if (seam > largest) {
            fail(r.name, std::string("the loop does not close smoothly on ") + "xyz"[a] + ": " +
                             std::to_string(seam) + " across the seam, " +
                             std::to_string(largest) + " at most inside");
        }
    }
    const Row& first = r.rows.front();
    const bool at_origin = first.x == 0.0 && first.y == 0.0 && first.z == 0.0;
    if (at_origin != (kStartsAtOrigin.count(r.name) == 1 || beat_starts_at_origin(r.name))) {
        fail(r.name, at_origin ? "starts at the origin unexpectedly" : "should start at the origin");
    }
}

// A fixture and an eye can follow no more than this change on an axis from
// one pip to the next; more reads as vibration.
constexpr double kLargestStep = 0.25;

// Every step between consecutive pips, the seam from the last row back to the
// first included, stays within kLargestStep on every axis.
void check_steps(const Record& r) {
    const std::size_t n = r.rows.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t before = (i + n - 1) % n;
        for (int a = 0; a < 3; ++a) {
            const double step = std::fabs(axis(r.rows[i], a) - axis(r.rows[before], a));
            if (step > kLargestStep) {
                fail(r.name, "moves " + std::to_string(step) + " on " + "xyz"[a] + " from pip " +
                                 std::to_string(before) + " to pip " + std::to_string(i) +
                                 ", more than 0.25");
            }
        }
    }
}

// A lane turns back only once it has come this far back from its last
// extreme; smaller wiggles are no reversal.
constexpr double kReversalEps = 0.02;
// A moving head follows no more than this many reversals of one axis within
// a beat (a cycle of 16 pips); more reads as a tremor.
constexpr int kMostReversals = 8;

// The pips in [0, n) at which lane `a` of a looped record turns back: an
// extreme from which it then travels back more than kReversalEps before
// passing it. Three laps are read and the middle one kept, so the seam counts
// like any other pip.
std::vector<int> turning_points(const Record& r, int a) {
    const int n = static_cast<int>(r.rows.size());
    std::vector<int> turns;
    int direction = 0;
    double high = axis(r.rows.front(), a);
    double low = high;
    int high_at = 0;
    int low_at = 0;
    for (int i = 0; i < 3 * n; ++i) {
        const double v = axis(r.rows[static_cast<std::size_t>(i % n)], a);
        if (direction >= 0) {
            if (v > high) {
                high = v;
                high_at = i;
            }
            if (high - v > kReversalEps) {
                if (direction > 0) turns.push_back(high_at);
                direction = -1;
                low = v;
                low_at = i;
                continue;
            }
        }
        if (direction <= 0) {
            if (v < low) {
                low = v;
                low_at = i;
            }
            if (v - low > kReversalEps) {
                if (direction < 0) turns.push_back(low_at);
                direction = 1;
                high = v;
                high_at = i;
            }
        }
    }
    std::vector<int> kept;
    for (const int t : turns) {
        if (t >= n && t < 2 * n) kept.push_back(t - n);
    }
    return kept;
}

// No axis of a pattern turns back more than kMostReversals times within one
// beat (pips 64 k to 64 k + 63): faster than that the point buzzes rather than
// moves, and a moving head cannot follow it.
void check_reversals(const Record& r) {
    for (int a = 0; a < 3; ++a) {
        std::map<int, int> per_beat;
        for (const int t : turning_points(r, a)) {
            if (++per_beat[t / 64] > kMostReversals) {
                fail(r.name, std::string("reverses on ") + "xyz"[a] +
                                 " more than 8 times in the beat from pip " + std::to_string(t / 64 * 64));
            }
        }
    }
}

void check_table(const Table& table) {
    std::set<std::string> names;
    std::set<std::string> blocks;
    for (const Record& r : table) {
        if (!names.insert(r.name).second) fail(r.name, "duplicate name");
        std::string bytes(reinterpret_cast<const char*>(r.rows.data()), r.rows.size() * sizeof(Row));
        if (!blocks.insert(bytes).second) fail(r.name, "same rows as another pattern");
    }
    for (const std::string& name : kStartsAtOrigin) {
        if (names.count(name) == 0) fail(name, "listed as starting at the origin but not in the table");
    }
}

// What the complete table holds as a whole: its size, the mix of periods
// and dimensions, the patterns with a silent x, the span of the values and
// the number of patterns that start at the origin.
constexpr std::size_t kRecords = 1716;
constexpr std::size_t kRows = 1022912;
constexpr std::size_t kOriginStarts = 71;
const std::map<int, int> kPeriodCounts = {
    {160, 3},  {224, 5},  {256, 41},   {288, 5}, {320, 4}, {352, 6},  {384, 4},  {416, 6},
    {448, 6},  {480, 5},  {512, 1304}, {544, 1}, {608, 1}, {640, 1},  {768, 17}, {1024, 307}};
const std::map<int, int> kDimensionCounts = {{1, 29}, {2, 321}, {3, 1366}};
constexpr std::size_t kSilentX = 18;

void expect_count(const std::string& what, std::size_t found, std::size_t expected) {
    if (found != expected) {
        throw std::runtime_error("the table has " + std::to_string(found) + " " + what + ", not " +
                                 std::to_string(expected));
    }
}

void expect_count(const std::string& what, const std::map<int, int>& found,
                  const std::map<int, int>& expected) {
    if (found == expected) return;
    std::ostringstream listed;
    listed << "the table's " << what << " is";
    for (const auto& [value, count] : found) listed << ' ' << value << ':' << count;
    throw std::runtime_error(listed.str());
}

void check_whole_table(const Table& table) {
    std::size_t rows = 0;
    std::size_t origin_starts = 0;
    std::size_t silent_x = 0;
    std::map<int, int> periods;
    std::map<int, int> dimensions;
    double lowest = 0.0;
    double highest = 0.0;
    for (const Record& r : table) {
        rows += r.rows.size();
        ++periods[r.period];
        ++dimensions[r.dimensions];
        if (x_is_silent(r.name)) ++silent_x;
        const Row& first = r.rows.front();
        if (first.x == 0.0 && first.y == 0.0 && first.z == 0.0) ++origin_starts;
        for (const Row& row : r.rows) {
            lowest = std::min({lowest, row.x, row.y, row.z});
            highest = std::max({highest, row.x, row.y, row.z});
        }
    }
    expect_count("records", table.size(), kRecords);
    expect_count("rows", rows, kRows);
    expect_count("count by period", periods, kPeriodCounts);
    expect_count("count by dimensions", dimensions, kDimensionCounts);
    expect_count("patterns with a silent x", silent_x, kSilentX);
    expect_count("patterns starting at the origin", origin_starts, kOriginStarts);
    if (lowest != kLowest || highest != kHighest) {
        throw std::runtime_error("the values span " + std::to_string(lowest) + " to " +
                                 std::to_string(highest) + ", not -0.92 to 1");
    }
}

std::string c_string(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03o", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void write_records(const Table& table, const std::string& path) {
    std::ostringstream out;
    out << "// Generated by generate_tables from src/data; do not edit.\n"
           "#include \"kinetrope/builtin_table.hpp\"\n\n"
           "namespace kinetrope {\nnamespace {\n\n"
           "using namespace std::string_view_literals;\n\n"
           "constexpr BuiltinPattern records[] = {\n";
    std::size_t first_row = 0;
    for (const Record& r : table) {
        out << "    {" << c_string(r.name) << "sv, " << c_string(r.description) << "sv, "
            << r.period << ", " << r.dimensions << ", &sample_builtin_block<" << first_row
            << ", " << r.period << ">},\n";
        first_row += r.rows.size();
    }
    out << "};\n\nconstexpr std::uint64_t name_index[] = {";
    std::vector<std::uint64_t> index(table.size());
    for (std::size_t i = 0; i < index.size(); ++i) index[i] = i;
    std::sort(index.begin(), index.end(), [&](std::uint64_t a, std::uint64_t b) {
        return std::string_view(table[a].name) < std::string_view(table[b].name);
    });
    for (std::size_t i = 0; i < index.size(); ++i) {
        out << (i % 16 == 0 ? "\n    " : " ") << index[i] << ",";
    }
    out << "\n};\n\nconstexpr NameKey name_keys[] = {";
    for (std::size_t i = 0; i < index.size(); ++i) {
        out << (i % 3 == 0 ? "\n    " : " ") << "name_key(" << c_string(table[index[i]].name) << "sv),";
    }
    out << "\n};\n\n}  // namespace\n\n"
           "constinit const std::span<const BuiltinPattern> builtin_patterns{records};\n"
           "constinit const std::span<const std::uint64_t> builtin_name_index{name_index};\n"
           "constinit const std::span<const NameKey> builtin_name_keys{name_keys};\n"
           "constinit const std::span<const double> builtin_samples{kinetrope_builtin_samples, "
        << 3 * first_row << "};\n\n}  // namespace kinetrope\n";
    std::ofstream(path, std::ios::binary) << out.str();
}

void write_samples(const Table& table, const std::string& bin_path, const std::string& asm_path) {
    static_assert(std::endian::native == std::endian::little, "the table is stored little-endian");
    std::ofstream bin(bin_path, std::ios::binary);
    for (const Record& r : table) {
        bin.write(reinterpret_cast<const char*>(r.rows.data()),
                  static_cast<std::streamsize>(r.rows.size() * sizeof(Row)));
    }
    std::ofstream(asm_path, std::ios::binary)
        << "/* Generated by generate_tables from src/data; do not edit. */\n"
           "    .section .rodata\n"
           "    .balign 64\n"
           "    .globl kinetrope_builtin_samples\n"
           "    .type kinetrope_builtin_samples, @object\n"
           "kinetrope_builtin_samples:\n"
           "    .incbin \""
        << bin_path
        << "\"\n"
           "    .size kinetrope_builtin_samples, . - kinetrope_builtin_samples\n"
           "    .section .note.GNU-stack, \"\", @progbits\n";
}

Table build_table() {
    Table table;
    for (const AuthoredPattern& p : authored_patterns()) {
        table.push_back({std::string(p.name), std::string(p.description), p.period, p.dimensions,
                         p.rows(p.period)});
    }
    for (auto emit : {emit_wave, emit_env, emit_seq, emit_noise, emit_orbit_harmonic,
                      emit_weave, emit_polar, emit_spiro, emit_space, emit_mech, emit_euclid,
                      emit_poly, emit_meter, emit_swing, emit_stick_study, emit_gesture,
                      emit_ribbon, emit_contour_shaped, emit_silhouette_harmonic, emit_spline,
                      emit_tour, emit_scan, emit_reach, emit_surface, emit_braid,
                      emit_arm_coupled, emit_dwell_phrase, emit_packet, emit_canon, emit_echo,
                      emit_ladder, emit_necklace, emit_accent_walk, emit_triplet,
                      emit_dialogue, emit_burst, emit_beat}) {
        emit(table);
    }
    return table;
}

}  // namespace
}  // namespace gen

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: generate_tables OUTPUT_DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    try {
        gen::Table table = gen::build_table();
        for (gen::Record& r : table) {
            gen::round_rows(r);
            gen::check_record(r);
            gen::check_steps(r);
            gen::check_reversals(r);
        }
        gen::check_table(table);
        gen::check_whole_table(table);
        gen::write_samples(table, dir + "/builtin_samples.bin", dir + "/builtin_samples.S");
        gen::write_records(table, dir + "/builtin_records.cpp");
        gen::write_builtin_json(table, dir + "/builtin.json");
        std::cout << "generate_tables: " << table.size() << " patterns\n";
    } catch (const std::exception& e) {
        std::cerr << "generate_tables: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
