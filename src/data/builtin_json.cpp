#include "builtin_json.hpp"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "families/beat/beat.hpp"
#include "kinetrope/analytic.hpp"

namespace gen {
namespace {

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The shortest text that reads back as the same double, always with a
// fraction or an exponent so that a reader sees a float.
std::string json_number(double value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    if (error != std::errc()) throw std::runtime_error("a swing does not fit in 32 characters");
    std::string out(text, end);
    if (out.find_first_of(".e") == std::string::npos) out += ".0";
    return out;
}

void write_grooves(std::ostream& out) {
    out << "  \"grooves\": [";
    const char* between = "\n";
    for (const beat::Score& score : beat::beat_scores()) {
        out << between << "    {\"key\": " << json_string(score.key) << ", \"bars\": " << score.bars
            << ", \"swing\": " << json_number(score.swing) << ", \"lanes\": [";
        const char* lane_between = "\n";
        for (const beat::LaneScore& lane : score.lanes) {
            const bool triplet = lane.name.ends_with(beat::kTripletMark);
            const std::string_view name =
                triplet ? lane.name.substr(0, lane.name.size() - beat::kTripletMark.size()) : lane.name;
            out << lane_between << "      {\"name\": " << json_string(name)
                << ", \"grid\": " << json_string(lane.grid)
                << ", \"triplet\": " << (triplet ? "true" : "false") << "}";
            lane_between = ",\n";
        }
        out << "\n    ]}";
        between = ",\n";
    }
    out << "\n  ]";
}

void write_families(const Table& table, std::ostream& out) {
    std::set<std::string_view> written;
    const char* between = "\n";
    const auto entry = [&](std::string_view name, std::string_view family) {
        if (!written.insert(name).second) {
            throw std::runtime_error(std::string(name) + ": two default patterns share the name");
        }
        out << between << "    " << json_string(name) << ": " << json_string(family);
        between = ",\n";
    };
    out << "  \"families\": {";
    for (const kinetrope::AnalyticPattern& pattern : kinetrope::analytic_patterns) {
        entry(pattern.info.name, pattern.family);
    }
    // A tabulated pattern is named <family>_<member> and listed under the
    // first word of its name.
    for (const Record& r : table) {
        const std::string_view name = r.name;
        entry(name, name.substr(0, name.find('_')));
    }
    out << "\n  }";
}

}  // namespace

void write_builtin_json(const Table& table, const std::string& path) {
    std::ostringstream out;
    out << "{\n";
    write_grooves(out);
    out << ",\n";
    write_families(table, out);
    out << "\n}\n";
    std::ofstream(path, std::ios::binary) << out.str();
}

}  // namespace gen
