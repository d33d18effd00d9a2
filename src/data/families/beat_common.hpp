// Pieces every beat motion draws with: lanes of one value per pip built from
// the hits of a role, as rings that follow each hit or as bumps centred on
// it, and the soft limit that keeps a busy score inside the table's range.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "beat.hpp"

namespace gen::beat {

// One value per pip of the period.
using Track = std::vector<double>;

// Adds kernel(t, hit) at the t-th pip after every hit, for t in [0, length),
// wrapping around the loop as often as the length demands. The loop is drawn
// as its steady state: what a hit near the end sets ringing carries on into
// the start, so the seam is as smooth as the rest.
template <typename Kernel>
void add_rings(Track& track, const std::vector<Hit>& hits, int length, Kernel&& kernel) {
    const int period = static_cast<int>(track.size());
    for (const Hit& hit : hits) {
        for (int t = 0; t < length; ++t) {
            track[static_cast<std::size_t>((hit.pip + t) % period)] += kernel(t, hit);
        }
    }
}

// Adds value(hit, i) (i counts the hits) times a raised cosine of the given
// half width centred on every hit, measured around the loop.
template <typename Value>
void add_bumps(Track& track, const std::vector<Hit>& hits, double half_width, Value&& value) {
    const int period = static_cast<int>(track.size());
    const double loop = static_cast<double>(period);
    const int reach = static_cast<int>(std::ceil(half_width));
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const double v = value(hits[i], i);
        for (int d = -reach; d <= reach; ++d) {
            const int pip = ((hits[i].pip + d) % period + period) % period;
            track[static_cast<std::size_t>(pip)] +=
                v * bump(static_cast<double>(pip), static_cast<double>(hits[i].pip), half_width, loop);
        }
    }
}

// Adds value(hit, i) times a lopsided raised cosine around every hit: up over
// `rise` pips to its peak on the hit, down over fall(hit, i) pips after it.
template <typename Fall, typename Value>
void add_swells(Track& track, const std::vector<Hit>& hits, double rise, Fall&& fall,
                Value&& value) {
    const int period = static_cast<int>(track.size());
    const double loop = static_cast<double>(period);
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const double v = value(hits[i], i);
        const double after = fall(hits[i], i);
        const auto before = static_cast<int>(std::ceil(rise));
        for (int d = -before; d <= static_cast<int>(std::ceil(after)); ++d) {
            const int pip = ((hits[i].pip + d) % period + period) % period;
            track[static_cast<std::size_t>(pip)] +=
                v * lopsided_bump(static_cast<double>(pip), static_cast<double>(hits[i].pip),
                                  rise, after, loop);
        }
    }
}

// Pips from hit i to the next hit of the list, around the loop (the whole
// period for a lone hit).
inline int gap_after(const std::vector<Hit>& hits, std::size_t i, int period) {
    if (hits.size() == 1) return period;
    const int next = hits[(i + 1) % hits.size()].pip;
    return ((next - hits[i].pip) % period + period) % period;
}

// A smooth, odd, increasing squash into (-limit, limit): nearly the identity
// for small values, so a sparse score keeps its proportions and a dense one
// saturates instead of leaving the range.
inline double soft_limit(double value, double limit) { return limit * std::tanh(value / limit); }

inline void soft_limit(Track& track, double limit) {
    for (double& v : track) v = soft_limit(v, limit);
}

// Rows from the lanes a pattern may move: x, y and z, with the axes at or
// beyond `dimensions` left at exactly 0.0.
inline Rows beat_rows(int dimensions, const Track& x, const Track& y, const Track& z) {
    Rows rows(x.size());
    for (std::size_t p = 0; p < rows.size(); ++p) {
        rows[p] = {x[p], dimensions >= 2 ? y[p] : 0.0, dimensions >= 3 ? z[p] : 0.0};
    }
    return rows;
}

// The hits of `hits` that fall on no pip of `other`.
inline std::vector<Hit> without(const std::vector<Hit>& hits, const std::vector<Hit>& other) {
    std::vector<Hit> kept;
    for (const Hit& h : hits) {
        bool shared = false;
        for (const Hit& o : other) shared = shared || o.pip == h.pip;
        if (!shared) kept.push_back(h);
    }
    return kept;
}

// The backbeat, or for a bare kick pulse, which has none, every second kick:
// the kicks on the backbeat's beats.
inline std::vector<Hit> backbeat_or_answer(const Roles& roles) {
    if (!roles.backbeat.empty()) return roles.backbeat;
    std::vector<Hit> answer;
    for (std::size_t i = 1; i < roles.kick.size(); i += 2) answer.push_back(roles.kick[i]);
    return answer;
}

// Distance in pips from `from` forward to `to` around the loop, in [0, period).
inline int pips_until(int from, int to, int period) { return ((to - from) % period + period) % period; }

// A position to reach from an event: the `target` at `pip`.
struct Goal {
    int pip = 0;
    double target = 0.0;
};

// From every goal (ascending, distinct pips) the track eases by smoothstep
// from the previous goal's target to this one's over `travel` pips, cut to
// the gap before the next goal, and then holds: a move that starts on its
// event and settles before the next one. `lift`, if given, receives
// 4 s (1 - s) of each move's progress s: 0 at rest, 1 halfway.
inline Track eased_goals(const std::vector<Goal>& goals, int period, int travel,
                         Track* lift = nullptr) {
    Track track(static_cast<std::size_t>(period), 0.0);
    if (lift != nullptr) lift->assign(track.size(), 0.0);
    const std::size_t n = goals.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Goal& goal = goals[i];
        const double from = goals[(i + n - 1) % n].target;
        const int gap = n == 1 ? period : pips_until(goal.pip, goals[(i + 1) % n].pip, period);
        const int move = std::min(travel, gap);
        for (int t = 0; t < gap; ++t) {
            const double s = t < move ? smoothstep(static_cast<double>(t) / move) : 1.0;
            const auto at = static_cast<std::size_t>((goal.pip + t) % period);
            track[at] = (goal.target - from) * s + from;
            if (lift != nullptr) (*lift)[at] = 4.0 * s * (1.0 - s);
        }
    }
    return track;
}

}  // namespace gen::beat
