// scan_: a serpentine scan down n rows joined by rounded turns, slowing through
// the turns and easing in and out at both ends, followed by a return that
// swings around the outside of the scanned field to the first row's start.
#include <algorithm>
#include <cmath>
#include <string>

#include "families.hpp"
#include "paths_common.hpp"

namespace gen {
namespace {

enum class Style { flat, bowed, tilted, depth };

constexpr double kHalfWidth = 0.6;  // rows run from x = -0.6 to 0.6
constexpr double kTop = 0.5;        // first row height; the last row sits at -0.5

// Progress along the scan at time w in [0, 1]: constant speed, with the speed
// rising and falling smoothly over the first and last `ramp` of the time.
double eased_progress(double w, double ramp) {
    auto ramp_in = [ramp](double v) {  // integral of smoothstep over the ramp
        const double a = v / ramp;
        return ramp * (a * a * a - 0.5 * a * a * a * a);
    };
    double covered = 0.0;
    if (w < ramp) {
        covered = ramp_in(w);
    } else if (w > 1.0 - ramp) {
        covered = (1.0 - ramp) - ramp_in(1.0 - w);
    } else {
        covered = 0.5 * ramp + (w - ramp);
    }
    return covered / (1.0 - ramp);
}

// A point of the flat serpentine at distance `along` (rows of length
// 2 * kHalfWidth joined by half circles of radius `turn`).
Row serpentine(int rows, double along) {
    const double spacing = 2.0 * kTop / (rows - 1);
    const double turn = 0.5 * spacing;
    const double row_length = 2.0 * kHalfWidth;
    const double turn_length = kPi * turn;
    for (int i = 0; i < rows; ++i) {
        const double dir = i % 2 == 0 ? 1.0 : -1.0;
        const double y = kTop - spacing * i;
        if (along <= row_length || i == rows - 1) {
            return Row{dir * (std::min(along, row_length) - kHalfWidth), y, 0.0};
        }
        along -= row_length;
        if (along <= turn_length) {
            const double a = along / turn;  // angle turned so far
            return Row{dir * (kHalfWidth + turn * std::sin(a)), y - turn * (1.0 - std::cos(a)), 0.0};
        }
        along -= turn_length;
    }
    return {};
}

// The return: an arc around the outside of the field, clockwise from the
// scan's end to its start, in coordinates where the field's corners sit on
// the unit square, swelling outward on the way.
Row outer_return(const Row& from, const Row& to, double u) {
    auto angle = [](const Row& p) { return std::atan2(p.y / kTop, p.x / kHalfWidth); };
    auto reach = [](const Row& p) { return std::hypot(p.y / kTop, p.x / kHalfWidth); };
    const double a0 = angle(from);
    double a1 = angle(to);
    while (a1 >= a0) a1 -= kTwoPi;  // clockwise
    const double a = a0 + (a1 - a0) * u;
    const double r = reach(from) + (reach(to) - reach(from)) * u + 0.35 * std::sin(kPi * u);
    return Row{kHalfWidth * r * std::cos(a), kTop * r * std::sin(a), 0.0};
}

// Bends the flat drawing into the style's shape.
Row styled(Style style, const Row& flat) {
    const double u = flat.x / kHalfWidth;
    const double v = flat.y / kTop;
    switch (style) {
        case Style::flat:
            return flat;
        case Style::bowed:  // every row sags in the middle
            return Row{flat.x, flat.y - 0.16 * (1.0 - u * u), 0.0};
        case Style::tilted:  // every row climbs to the right
            return Row{flat.x, flat.y + 0.18 * u, 0.0};
        case Style::depth:  // the field is a tilted dish: lower rows come forward
            return Row{flat.x, flat.y, -0.45 * v + 0.25 * (1.0 - u * u) - 0.1};
    }
    return flat;
}

// Distance along the serpentine reached at each of `steps` + 1 equally spaced
// moments of the scan: the pace slows to 40% through the turns and is
// fastest mid-row, and the whole scan eases in and out.
std::vector<double> paced_distances(int rows, double length, int steps) {
    const double spacing = 2.0 * kTop / (rows - 1);
    const double unit = 2.0 * kHalfWidth + kPi * 0.5 * spacing;  // a row and its turn
    const double turn_middle = unit - 0.25 * kPi * spacing;
    auto pace = [&](double along) {
        const double from_turn =
            std::fabs(std::remainder(along - turn_middle, unit)) / (0.5 * unit);
        return 0.4 + 0.6 * smoothstep(std::min(1.0, 1.6 * from_turn));
    };
    // Time spent to reach each distance on a fine grid, then inverted.
    const int fine = 8192;
    std::vector<double> time(static_cast<std::size_t>(fine) + 1, 0.0);
    for (int i = 1; i <= fine; ++i) {
        const double mid = length * (i - 0.5) / fine;
        time[static_cast<std::size_t>(i)] = time[static_cast<std::size_t>(i) - 1] + 1.0 / pace(mid);
    }
    std::vector<double> distances(static_cast<std::size_t>(steps) + 1);
    std::size_t j = 0;
    for (int k = 0; k <= steps; ++k) {
        const double want = time.back() * eased_progress(static_cast<double>(k) / steps, 0.08);
        while (j + 1 < time.size() - 1 && time[j + 1] < want) ++j;
        const double share = std::clamp((want - time[j]) / (time[j + 1] - time[j]), 0.0, 1.0);
        distances[static_cast<std::size_t>(k)] = length * (static_cast<double>(j) + share) / fine;
    }
    return distances;
}

Rows scan(Style style, int rows, int period) {
    const double spacing = 2.0 * kTop / (rows - 1);
    const double length = rows * 2.0 * kHalfWidth + (rows - 1) * kPi * 0.5 * spacing;
    const int scan_pips = 3 * period / 4;  // twelve beats of scan, four of return
    const std::vector<double> along = paced_distances(rows, length, scan_pips);
    const Row start = serpentine(rows, 0.0);
    const Row end = serpentine(rows, length);
    Rows out(static_cast<std::size_t>(period));
    for (int p = 0; p < period; ++p) {
        const Row flat =
            p <= scan_pips
                ? serpentine(rows, along[static_cast<std::size_t>(p)])
                : outer_return(end, start,
                               smoothstep(static_cast<double>(p - scan_pips) / (period - scan_pips)));
        out[static_cast<std::size_t>(p)] = styled(style, flat);
    }
    paths::scale_rows(out, 0.82);
    return out;
}

}  // namespace

void emit_scan(Table& table) {
    static constexpr struct {
        const char* name;
        Style style;
    } kStyles[] = {{"flat", Style::flat},
                   {"bowed", Style::bowed},
                   {"tilted", Style::tilted},
                   {"depth", Style::depth}};
    constexpr int kPeriod = 1024;
    for (const int rows : {3, 4, 5, 6}) {
        for (const auto& s : kStyles) {
            table.push_back({
                "scan_" + std::string(s.name) + "_" + std::to_string(rows),
                "An eased serpentine scan and an explicit outer return to the starting point.",
                kPeriod,
                s.style == Style::depth ? 3 : 2,
                scan(s.style, rows, kPeriod),
            });
        }
    }
}

}  // namespace gen
