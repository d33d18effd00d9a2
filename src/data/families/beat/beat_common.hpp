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

// Distance in pips from `from` forward to `to` around the loop, in [0, period).
inline int pips_until(int from, int to, int period) { return ((to - from) % period + period) % period; }

// Pips from hit i to the next hit of the list, around the loop (the whole
// period for a lone hit).
inline int gap_after(const std::vector<Hit>& hits, std::size_t i, int period) {
    if (hits.size() == 1) return period;
    return pips_until(hits[i].pip, hits[(i + 1) % hits.size()].pip, period);
}

// Alternates +1, -1, +1, ... along the hits of a score.
inline double alternate(std::size_t i) { return i % 2 == 0 ? 1.0 : -1.0; }

// Small flicks, alternating in sign, for the hits a motion does not lead
// with, so that the whole score, hats and bass notes included, leaves its
// mark: `gain` times the hit's weight, over `half_width` pips either side.
inline Track flicks(const std::vector<Hit>& hits, int period, double gain, double half_width = 6.0) {
    Track track(static_cast<std::size_t>(period), 0.0);
    add_bumps(track, hits, half_width,
              [gain](const Hit& h, std::size_t i) { return alternate(i) * gain * h.weight; });
    return track;
}

// One slow swell over the whole loop, so that a phrase whose bars repeat
// in another order (a 3-2 and a 2-3 clave) still moves differently.
inline double phrase_wave(int pip, int period, double gain, double phase = 0.0) {
    return gain * std::sin(phase_angle(pip, period) + phase);
}

// A smooth, odd, increasing squash into (-limit, limit): the identity up to
// half the limit, then a tanh knee, so that a sparse score keeps its
// proportions and a dense one saturates instead of leaving the range.
inline double soft_limit(double value, double limit) {
    const double knee = 0.5 * limit;
    const double size = std::fabs(value);
    if (size <= knee) return value;
    return std::copysign(knee + (limit - knee) * std::tanh((size - knee) / (limit - knee)), value);
}

inline void soft_limit(Track& track, double limit) {
    for (double& v : track) v = soft_limit(v, limit);
}

// A triangular average over `reach` pips either side, around the loop: it
// rounds off corners without moving anything by more than a few pips.
inline Track smoothed(const Track& track, int reach) {
    const int period = static_cast<int>(track.size());
    Track out(track.size(), 0.0);
    double total = 0.0;
    for (int d = -reach; d <= reach; ++d) total += reach + 1 - std::abs(d);
    for (int p = 0; p < period; ++p) {
        double sum = 0.0;
        for (int d = -reach; d <= reach; ++d) {
            sum += (reach + 1 - std::abs(d)) * track[static_cast<std::size_t>(((p + d) % period + period) % period)];
        }
        out[static_cast<std::size_t>(p)] = sum / total;
    }
    return out;
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

// Whether one of the hits falls on `pip`.
inline bool has_pip(const std::vector<Hit>& hits, int pip) {
    return std::any_of(hits.begin(), hits.end(), [pip](const Hit& h) { return h.pip == pip; });
}

// The hits of `hits` that fall on no pip of `other`.
inline std::vector<Hit> without(const std::vector<Hit>& hits, const std::vector<Hit>& other) {
    std::vector<Hit> kept;
    for (const Hit& h : hits) {
        if (!has_pip(other, h.pip)) kept.push_back(h);
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

// A drum gesture with its side: -1 for a kick, +1 for the backbeat.
struct SidedHit {
    Hit hit;
    double side = 0.0;
};

// The kicks and the backbeat (or its stand-in) in time order; where a kick
// and the backbeat share a pip, the backbeat decides the side and the
// stronger of the two the weight.
inline std::vector<SidedHit> kick_and_answer(const Roles& roles) {
    const std::vector<Hit> answer = backbeat_or_answer(roles);
    const std::vector<Hit>& kick = roles.kick;
    std::vector<SidedHit> sided;
    std::size_t k = 0, b = 0;
    while (k < kick.size() || b < answer.size()) {
        const bool kick_first = b == answer.size() || (k < kick.size() && kick[k].pip < answer[b].pip);
        Hit hit = kick_first ? kick[k++] : answer[b++];
        if (!kick_first && k < kick.size() && kick[k].pip == hit.pip) {
            hit.weight = std::max(hit.weight, kick[k++].weight);
        }
        sided.push_back({hit, kick_first ? -1.0 : 1.0});
    }
    return sided;
}

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

// The angle of a wheel that turns `turns` times over the loop, moving at
// each pip in proportion to `speed` (positive everywhere): 0 at pip 0.
inline Track angle_from_speed(const Track& speed, double turns) {
    double total = 0.0;
    for (const double v : speed) total += v;
    Track angle(speed.size());
    double travelled = 0.0;
    for (std::size_t p = 0; p < speed.size(); ++p) {
        angle[p] = kTwoPi * turns * travelled / total;
        travelled += speed[p];
    }
    return angle;
}

// The angle of a wheel that the hits turn `turns` times over the loop: it
// creeps at `calm` on its own and hurries through each hit by `gain` times
// the hit's weight, spread over `half_width` pips either side, so that the
// weights, the swing and the gaps of a lane all show in where it stands.
inline Track paced_angle(const std::vector<Hit>& hits, int period, double calm,
                         double half_width, double gain, double turns) {
    Track speed(static_cast<std::size_t>(period), calm);
    add_bumps(speed, hits, half_width, [gain](const Hit& h, std::size_t) { return gain * h.weight; });
    return angle_from_speed(speed, turns);
}

// The score's texture beside its drums, each kind of sound in a direction
// of its own, so that two grooves on one kick and backbeat still move
// differently: the hats, ride and shaker flick sideways, alternating, and
// turn a small wheel; bass notes the kick does not double lift the point and
// draw it back; the remaining percussion (toms, bells, perc, rims beside the
// backbeat) nods it down and forward. Each flick is `gain` times the hit's
// weight at most. A bare kick pulse has no texture.
struct Texture {
    Track x, y, z;
    Track wheel_x, wheel_y;  // the hats' wheel, for the caller to place
};

inline Texture texture(const BeatInput& in, double gain) {
    const Roles& roles = in.roles;
    const std::vector<Hit> cymbals = lane_hits(in.groove, {Sound::cymbal});
    const std::vector<Hit> hats = without(cymbals, roles.kick);
    const std::vector<Hit> bass = without(lane_hits(in.groove, {Sound::bass}), roles.kick);
    const std::vector<Hit> rest =
        without(without(lane_hits(in.groove, {Sound::perc, Sound::tom, Sound::wood_metal, Sound::rim}),
                        roles.kick),
                roles.backbeat);
    const int period = in.period;
    const Track still(static_cast<std::size_t>(period), 0.0);
    Texture t{flicks(hats, period, gain), still, still, still, still};
    add_bumps(t.y, bass, 10.0, [gain](const Hit& h, std::size_t) { return gain * h.weight; });
    add_bumps(t.z, bass, 10.0, [gain](const Hit& h, std::size_t) { return -0.8 * gain * h.weight; });
    add_bumps(t.y, rest, 7.0, [gain](const Hit& h, std::size_t) { return -gain * h.weight; });
    add_bumps(t.z, rest, 7.0, [gain](const Hit& h, std::size_t) { return 0.8 * gain * h.weight; });
    if (!hats.empty()) {
        // A small wheel that the cymbals turn once a beat.
        const Track angle = paced_angle(cymbals, period, 0.25, 8.0, 1.0,
                                        static_cast<double>(period) / kPipsPerBeat);
        for (std::size_t p = 0; p < angle.size(); ++p) {
            t.wheel_x[p] = 0.8 * gain * std::cos(angle[p]);
            t.wheel_y[p] = 0.8 * gain * std::sin(angle[p]);
        }
    }
    return t;
}

}  // namespace gen::beat
