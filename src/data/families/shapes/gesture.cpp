// gesture_: short abstract phrases for a single point over eight beats. Most
// are poses joined by eased moves that may bow out sideways (an arc through
// the air rather than a straight line) and halt at every pose; the turn and
// the spiral are traced by eased angles.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "families.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 512;

// A pose reached at `beat`; the move into it bows out by `bow` at its middle.
struct Pose {
    double beat;
    Row at;
    Row bow{};
};

// Smoothstep from each pose to the next (the last one returns to the first
// across the seam), plus 4 s (1 - s) times the bow of the pose being
// approached: the move leaves and arrives with zero speed.
Rows pose_path(const std::vector<Pose>& poses) {
    Rows rows(static_cast<std::size_t>(kPeriod));
    const std::size_t n = poses.size();
    for (int p = 0; p < kPeriod; ++p) {
        std::size_t i = n - 1;
        for (std::size_t k = 0; k < n; ++k) {
            if (poses[k].beat * kPipsPerBeat <= p) i = k;
        }
        const Pose& a = poses[i];
        const Pose& b = poses[(i + 1) % n];
        double span = (b.beat - a.beat) * kPipsPerBeat;
        double local = p - a.beat * kPipsPerBeat;
        if (span <= 0) span += kPeriod;
        if (local < 0) local += kPeriod;
        const double s = smoothstep(local / span);
        const double lift = 4.0 * s * (1.0 - s);
        rows[static_cast<std::size_t>(p)] = {
            (b.at.x - a.at.x) * s + a.at.x + lift * b.bow.x,
            (b.at.y - a.at.y) * s + a.at.y + lift * b.bow.y,
            (b.at.z - a.at.z) * s + a.at.z + lift * b.bow.z,
        };
    }
    return rows;
}

// Rows [from, to) replaced by f(w) with w = smoothstep of the progress.
void trace(Rows& rows, int from, int to, const std::function<Row(double w)>& f) {
    for (int p = from; p < to; ++p) {
        rows[static_cast<std::size_t>(p)] = f(smoothstep(static_cast<double>(p - from) / (to - from)));
    }
}

Rows side_reach() {
    const Row home{-0.1, -0.2, 0};
    return pose_path({{0, home},
                      {1.5, {0.85, 0.1, 0}, {0, 0.2, 0}},
                      {3.0, {0.85, 0.1, 0}},
                      {4.5, home, {0, -0.1, 0}},
                      {5.5, {-0.55, -0.05, 0}, {0, 0.15, 0}},
                      {6.0, {-0.55, -0.05, 0}},
                      {7.25, home}});
}

Rows cross_reach() {
    const Row home{0.3, -0.25, 0};
    return pose_path({{0, home},
                      {1.5, {-0.7, -0.35, 0}, {0, -0.2, 0}},
                      {2.5, {-0.7, -0.35, 0}},
                      {4.0, {0.8, 0.75, 0}, {0, -0.15, 0}},
                      {5.0, {0.8, 0.75, 0}},
                      {6.75, home}});
}

// A quick dip down through a low centre, then a slow, nearly flat return.
Rows low_scoop() {
    const Row left{-0.72, 0.45, 0};
    return pose_path({{0, left},
                      {2.0, {0.72, 0.4, 0}, {0, -1.2, 0}},
                      {3.0, {0.72, 0.4, 0}},
                      {6.5, left, {0, 0.12, 0}}});
}

// A slow climb over a high arc, then a quick drop back along a shallow dip.
Rows high_arc() {
    const Row left{-0.75, -0.4, 0};
    return pose_path({{0, left},
                      {3.5, {0.75, -0.3, 0}, {0, 1.25, 0}},
                      {4.5, {0.75, -0.3, 0}},
                      {6.5, left, {0, -0.25, 0}}});
}

// Four corners visited in a crossing order; at each one the point taps
// outwards and comes back before travelling on.
Rows corner_taps() {
    const double corners[4][2] = {{-1, 1}, {1, -1}, {1, 1}, {-1, -1}};
    std::vector<Pose> poses;
    for (int c = 0; c < 4; ++c) {
        const double sx = corners[c][0], sy = corners[c][1];
        const double t = 2.0 * c;
        const Row rest{0.66 * sx, 0.62 * sy, 0};
        poses.push_back({t, rest});
        poses.push_back({t + 0.4, {0.88 * sx, 0.85 * sy, 0}});
        poses.push_back({t + 0.7, rest});
        poses.push_back({t + 1.1, rest});
    }
    return pose_path(poses);
}

// Out along one diagonal to touch, back, out to the opposite end, and a
// smaller touch on the other diagonal.
Rows diagonal_touch() {
    const Row home{-0.1, -0.12, 0};
    return pose_path({{0, home},
                      {1.25, {0.78, 0.8, 0}},
                      {1.5, {0.78, 0.8, 0}},
                      {2.75, home},
                      {3.25, home},
                      {4.5, {-0.75, -0.72, 0}},
                      {4.75, {-0.75, -0.72, 0}},
                      {5.75, home},
                      {6.5, {0.45, -0.5, 0}},
                      {7.25, home}});
}

// Around the four corners of a box, then into its centre and out again.
Rows box_return() {
    const Row tl{-0.6, 0.6, 0}, tr{0.6, 0.6, 0}, br{0.6, -0.6, 0}, bl{-0.6, -0.6, 0};
    const Row centre{0.0, 0.0, 0};
    return pose_path({{0, tl},
                      {0.25, tl},
                      {1.0, tr},
                      {1.25, tr},
                      {2.0, br},
                      {2.25, br},
                      {3.0, bl},
                      {3.25, bl},
                      {4.0, tl},
                      {4.25, tl},
                      {5.25, centre},
                      {7.0, centre}});
}

Rows zigzag_lift() {
    return pose_path({{0, {-0.5, -0.7, 0}},
                      {1.0, {0.5, -0.42, 0}},
                      {2.0, {-0.5, -0.12, 0}},
                      {3.0, {0.5, 0.18, 0}},
                      {4.0, {-0.5, 0.48, 0}},
                      {5.0, {0.42, 0.8, 0}},
                      {5.5, {0.42, 0.8, 0}},
                      {7.5, {-0.5, -0.7, 0}, {0.3, 0, 0}}});
}

// A duck down, a low sway from side to side on sagging arcs, and a rise.
Rows duck_sway() {
    const Row up{0.05, 0.35, 0}, low{0.0, -0.55, 0};
    const Row left{-0.62, -0.45, 0}, right{0.62, -0.45, 0};
    const Row sag{0, -0.22, 0};
    return pose_path({{0, up},
                      {1.0, low},
                      {2.0, left, sag},
                      {3.0, right, sag},
                      {4.0, left, sag},
                      {5.0, right, sag},
                      {6.0, low, sag},
                      {6.5, low},
                      {7.5, up}});
}

// Forward (z up) pushes and backward pulls with the height following.
Rows push_pull() {
    const Row back{0.1, 0.0, -0.5};
    return pose_path({{0, back},
                      {1.5, {0.25, 0.2, 0.85}},
                      {2.5, {0.25, 0.2, 0.85}},
                      {4.0, {-0.2, -0.25, -0.72}},
                      {5.0, {-0.2, -0.25, -0.72}},
                      {6.0, {0.32, 0.1, 0.4}},
                      {7.0, back}});
}

// From near and low-left, through the middle, to far and high-right; back
// round the side.
Rows reach_depth() {
    const Row near{-0.5, -0.3, -0.75};
    return pose_path({{0, near},
                      {3.0, {0.55, 0.45, 0.9}, {0.05, -0.1, 0}},
                      {4.25, {0.55, 0.45, 0.9}},
                      {6.75, near, {-0.55, 0.1, 0.1}}});
}

// A bow forward and down, then a full turn about the vertical axis.
Rows bow_turn() {
    const Row front{0.0, 0.45, 0.6};
    Rows rows = pose_path({{0, front},
                           {1.5, {0.0, -0.55, 0.9}, {0, 0, 0.15}},
                           {2.5, {0.0, -0.55, 0.9}},
                           {4.0, front},
                           {7.0, front}});
    trace(rows, 256, 448, [](double w) {
        const double a = kTwoPi * w;
        return Row{0.6 * std::sin(a), 0.45 + 0.12 * std::sin(0.5 * a), 0.6 * std::cos(a)};
    });
    return rows;
}

Rows heel_toe() {
    std::vector<Pose> poses;
    const double bases[4] = {-0.45, -0.05, 0.35, -0.05};
    for (int j = 0; j < 4; ++j) {
        const double b = bases[j];
        const double t = 2.0 * j;
        poses.push_back({t, {b - 0.2, -0.7, 0}});         // heel
        poses.push_back({t + 0.5, {b, -0.05, 0}});        // lift
        poses.push_back({t + 1.0, {b + 0.24, -0.58, 0}});  // toe
        poses.push_back({t + 1.5, {b + 0.12, 0.1, 0}});   // lift
    }
    return pose_path(poses);
}

// Three rising hops to the right, answered by two lower scoops back.
Rows hop_answer() {
    const double ground = -0.5;
    return pose_path({{0, {-0.7, ground, 0}},
                      {0.25, {-0.7, ground, 0}},
                      {1.25, {-0.25, ground, 0}, {0, 1.05, 0}},
                      {1.5, {-0.25, ground, 0}},
                      {2.5, {0.2, ground, 0}, {0, 0.95, 0}},
                      {2.75, {0.2, ground, 0}},
                      {3.75, {0.7, ground, 0}, {0, 1.3, 0}},
                      {4.25, {0.7, ground, 0}},
                      {5.5, {0.0, ground, 0}, {0, -0.35, 0}},
                      {5.75, {0.0, ground, 0}},
                      {7.0, {-0.7, ground, 0}, {0, -0.3, 0}}});
}

// An outward spiral of two and a half turns reaching forward, then a
// straight retreat to the start.
Rows spiral_reach() {
    auto spiral = [](double w) {
        const double a = kTwoPi * 2.5 * w + 0.4;
        const double r = 0.12 + 0.7 * w;
        return Row{r * std::cos(a), r * std::sin(a), -0.6 + 1.45 * w};
    };
    Rows rows(static_cast<std::size_t>(kPeriod));
    trace(rows, 0, 384, spiral);
    const Row end = spiral(1.0), start = spiral(0.0);
    trace(rows, 384, kPeriod, [&](double w) {
        return Row{(start.x - end.x) * w + end.x, (start.y - end.y) * w + end.y,
                   (start.z - end.z) * w + end.z};
    });
    return rows;
}

// Top, a side in front, bottom, the other side behind; then round again
// through the mirrored pair: the edges of a diamond tilted in depth.
Rows diamond_depth() {
    const Row top{0.05, 0.82, 0.0}, bottom{-0.05, -0.78, 0.0};
    const Row right_front{0.72, 0.0, 0.6}, left_back{-0.72, 0.0, -0.6};
    const Row left_front{-0.72, 0.0, 0.6}, right_back{0.72, 0.0, -0.6};
    const Row order[8] = {top, right_front, bottom, left_back, top, left_front, bottom, right_back};
    std::vector<Pose> poses;
    for (int i = 0; i < 8; ++i) {
        poses.push_back({static_cast<double>(i), order[i]});
        poses.push_back({i + 0.2, order[i]});
    }
    return pose_path(poses);
}

}  // namespace

void emit_gesture(Table& table) {
    const struct {
        const char* suffix;
        const char* phrase;
        int dimensions;
        Rows (*draw)();
    } gestures[] = {
        {"side_reach", "side reach", 2, side_reach},
        {"cross_reach", "cross and reach", 2, cross_reach},
        {"low_scoop", "low scoop", 2, low_scoop},
        {"high_arc", "high arc", 2, high_arc},
        {"corner_taps", "corner taps", 2, corner_taps},
        {"diagonal_touch", "diagonal touch", 2, diagonal_touch},
        {"box_return", "box and centre", 2, box_return},
        {"zigzag_lift", "zigzag lift", 2, zigzag_lift},
        {"duck_sway", "duck and sway", 2, duck_sway},
        {"push_pull", "push and pull", 3, push_pull},
        {"reach_depth", "reach through depth", 3, reach_depth},
        {"bow_turn", "bow and turn", 3, bow_turn},
        {"heel_toe", "heel-toe abstract", 2, heel_toe},
        {"hop_answer", "hop and answer", 2, hop_answer},
        {"spiral_reach", "spiral reach", 3, spiral_reach},
        {"diamond_depth", "depth diamond", 3, diamond_depth},
    };
    for (const auto& g : gestures) {
        table.push_back({
            std::string("gesture_") + g.suffix,
            std::string("An original single-point ") + g.phrase +
                " gesture. Abstract motion, not a full-body dance or biomechanical recording.",
            kPeriod,
            g.dimensions,
            g.draw(),
        });
    }
}

}  // namespace gen
