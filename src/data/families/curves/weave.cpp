// weave_: a horizontal and a vertical sine with different cycle counts, the
// horizontal one phase-shifted, so the point weaves a closed 16-beat lattice.
#include <cmath>
#include <string>

#include "families.hpp"

namespace gen {

void emit_weave(Table& table) {
    static constexpr struct {
        int horizontal;
        int vertical;
    } kCycles[] = {{1, 3}, {1, 4}, {1, 5}, {2, 5}, {2, 7}, {3, 4}, {3, 5}, {3, 7},
                   {3, 8}, {4, 5}, {4, 7}, {4, 9}, {5, 6}, {5, 7}, {5, 8}, {5, 9}};
    constexpr int kPeriod = 1024;
    for (const auto& c : kCycles) {
        const std::string a = std::to_string(c.horizontal);
        const std::string b = std::to_string(c.vertical);
        table.push_back({
            "weave_" + a + "_" + b,
            a + " horizontal and " + b + " vertical cycles; a phase-offset, closed 16-beat traversal.",
            kPeriod,
            2,
            sample_scaled_curve(kPeriod, kPeriod, 0.82,
                                [&](double t) {
                                    return Row{std::sin(c.horizontal * t + 0.37),
                                               0.8125 * std::sin(c.vertical * t), 0.0};
                                }),
        });
    }
}

}  // namespace gen
