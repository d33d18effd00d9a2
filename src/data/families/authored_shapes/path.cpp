// path_: closed plane and space curves drawn by their own formulas: a
// Lissajous figure, two roses, an astroid, an ellipse with a dwelling phase, a
// torus knot, three woven sines and a slider-crank.
#include <cmath>

#include "families.hpp"

namespace gen {

Rows path_lissajous_2_3(int period) {
    return sample_curve(period, [](double t) {
        return Row{0.78 * std::sin(2.0 * t), 0.68 * std::sin(3.0 * t), 0.0};
    });
}

Rows path_rose_4(int period) {
    // Signed radius: between the petals r changes sign and the point passes
    // through the centre to the opposite petal.
    return sample_curve(period, [](double t) {
        const double theta = t;
        const double r = 0.82 * std::cos(2.0 * theta);
        return Row{r * std::cos(theta), r * std::sin(theta), 0.0};
    });
}

Rows path_rose_5(int period) {
    // An odd rose closes after half a turn, so the angle runs through pi only.
    return sample_curve(period, [](double t) {
        const double theta = t / 2.0;
        const double r = 0.82 * std::cos(5.0 * theta);
        return Row{r * std::cos(theta), r * std::sin(theta), 0.0};
    });
}

Rows path_bowed_diamond(int period) {
    return sample_curve(period, [](double t) {
        const double c = std::cos(t);
        const double s = std::sin(t);
        return Row{0.8 * (c * c * c), 0.8 * (s * s * s), 0.0};
    });
}

Rows path_orbit_dwell(int period) {
    // phi' = 1 - cos t: zero at the start of the loop, largest half-way round.
    return sample_curve(period, [](double t) {
        const double phi = t - std::sin(t);
        return Row{0.8 * std::cos(phi), 0.6 * std::sin(phi), 0.0};
    });
}

Rows path_torus_knot(int period) {
    return sample_curve(period, [](double t) {
        const double ring = 0.54 + 0.22 * std::cos(3.0 * t);
        return Row{ring * std::cos(2.0 * t), ring * std::sin(2.0 * t), 0.36 * std::sin(3.0 * t)};
    });
}

Rows path_woven_3d(int period) {
    return sample_curve(period, [](double t) {
        return Row{0.72 * std::sin(2.0 * t), 0.64 * std::sin(3.0 * t), 0.48 * std::sin(5.0 * t)};
    });
}

Rows path_crank_slider(int period) {
    // Crank radius 1, rod length 3: the slider sits at cos t + sqrt(9 - sin^2 t)
    // from the crank axis, here measured from its mid-stroke at 3.
    return sample_curve(period, [](double t) {
        const double s = std::sin(t);
        return Row{0.78 * (std::cos(t) + std::sqrt(9.0 - s * s) - 3.0), 0.3 * s, 0.0};
    });
}

}  // namespace gen
