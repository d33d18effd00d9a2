// Shared pieces of the built-in table generator: rows and records, rounding
// to the stored precision, easing, gestures on a rhythmic score, closed
// curves through control points, Euclidean rhythms and SHA-256.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace gen {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr int kPipsPerBeat = 64;
inline constexpr int kPipsPerEighth = 32;

struct Row {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};
using Rows = std::vector<Row>;

// Rows as points: sums, differences and scaling, coordinate by coordinate.
inline Row operator+(const Row& a, const Row& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Row operator-(const Row& a, const Row& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Row operator*(double k, const Row& a) { return {k * a.x, k * a.y, k * a.z}; }

struct Record {
    std::string name;
    std::string description;
    int period = 0;
    int dimensions = 0;
    Rows rows;  // one per pip of the period, before rounding
};

// Every family appends its records, in table order, to the one table.
using Table = std::vector<Record>;

// ---- numbers -------------------------------------------------------------

// The double nearest to the value rounded to 12 decimal places; never -0.0.
double round12(double value);

// (3 - 2w) w^2, rising from 0 to 1 with zero slope at both ends.
double smoothstep(double w);

// Smoothstep between two values, w clamped to [0, 1].
double ease_between(double from, double to, double w);

// Phase of pip p on a loop of `period` pips, as an angle in [0, 2 pi).
inline double phase_angle(int pip, int period) {
    return kTwoPi * static_cast<double>(pip) / static_cast<double>(period);
}

// Evaluates f at t = 2 pi p / period for every pip of the period.
Rows sample_curve(int period, const std::function<Row(double t)>& curve);

// Evaluates f at N phases 2 pi i / N and scales it so that the largest
// absolute coordinate over those N points becomes `target`; returns the rows
// of the scaled curve at the pips of the period.
Rows sample_scaled_curve(int period, int scale_points, double target,
                         const std::function<Row(double t)>& curve);

// Signed distance from `from` to `to` on a loop of `period`, in (-period/2, period/2].
double cyclic_delta(double from, double to, double period);

// ---- gestures on a score -------------------------------------------------

// A raised-cosine bump: 1 at `centre`, falling smoothly to 0 at `half_width`
// pips on either side; distances are measured around the loop, so a gesture
// near the seam continues across it.
double bump(double pip, double centre, double half_width, double period);

// A raised cosine that climbs over `rise` pips to 1 at `centre` and falls back
// to 0 over `fall` pips, distances measured around the loop. Both sides have
// zero slope at the peak, so unequal sides still join smoothly.
double lopsided_bump(double pip, double centre, double rise, double fall, double period);

// Rows from up to three lanes of one value per pip; an empty lane stays at
// rest (0.0).
Rows rows_from_lanes(int period, const std::vector<double>& x, const std::vector<double>& y = {},
                     const std::vector<double>& z = {});

// One event of a rhythmic score: where it peaks, which way it leans (+1 right
// or up, -1 left or down, or any signed weight) and how strongly.
struct Onset {
    double pip = 0.0;
    double side = 1.0;
    double accent = 1.0;
};

// Sum of accent * side * bump(onset) over a score, at one pip. With a half
// width no larger than the spacing of neighbouring onsets each onset's value
// is exactly its own accent * side at its onset pip.
double render_score(double pip, const std::vector<Onset>& score, double half_width,
                    double period);

// The same sum for every pip of the period.
std::vector<double> render_score_lane(const std::vector<Onset>& score, double half_width,
                                      int period);

// Euclidean (Bjorklund) distribution of k onsets over n steps, rotated so that
// step 0 is an onset: true where a step carries an onset.
std::vector<bool> euclidean_steps(int onsets, int steps);

// ---- closed curves -------------------------------------------------------

// A keyframe on a loop: position at a pip.
struct Key {
    double pip = 0.0;
    Row at;
};

// Smoothstep between consecutive keyframes (strictly ascending pips in
// [0, period)); after the last key the path eases back to the first one
// across the seam. Holds and halts sit at every keyframe.
Rows keyframe_path(const std::vector<Key>& keys, int period);

// A closed Catmull-Rom spline through the keys, with the keys' pips as the
// knot times (unequal segment times allowed): C1 everywhere, seam included.
Rows closed_spline(const std::vector<Key>& keys, int period);

// ---- hashing -------------------------------------------------------------

std::array<std::uint8_t, 32> sha256(std::string_view message);

// A value in [-1, 1] derived from the first eight bytes of SHA-256(key).
double hashed_unit(std::string_view key);

}  // namespace gen
