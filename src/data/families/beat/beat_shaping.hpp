// Pieces that keep a beat motion on the music's grid and within what a moving
// head can follow: a pace that hurries with the score but lands on every beat
// it is anchored to, drum sides that keep alternating where kick and backbeat
// strike together, measures of the score bar by bar, and a count of how often
// a lane turns back within a beat, with a smoothing that brings it down.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <tuple>
#include <vector>

#include "beat_motion_support.hpp"

namespace gen::beat {

// A pace that counts one unit per `span` pips and reaches every multiple of
// `span` exactly on time (span divides the period): within each span it
// advances at `calm` per pip plus the weights of the hits spread over `width`
// pips around each, so it hurries through the busy part of the span and
// lingers in the quiet part, and it is a whole number at each span's start.
inline Track anchored_pace(const std::vector<Hit>& hits, int period, int span, double calm,
                           double width) {
    const Track rate = hit_rate(hits, period, calm, width);
    Track pace(static_cast<std::size_t>(period), 0.0);
    for (int start = 0; start < period; start += span) {
        double total = 0.0;
        for (int p = start; p < start + span; ++p) total += rate[static_cast<std::size_t>(p)];
        double run = 0.0;
        for (int p = start; p < start + span; ++p) {
            pace[static_cast<std::size_t>(p)] = static_cast<double>(start / span) + run / total;
            run += rate[static_cast<std::size_t>(p)];
        }
    }
    return pace;
}

// The weight of the hits in every stretch [start, start + span) of the loop,
// start a multiple of `span`, shifted back by `lead` pips (so that a lobe
// centred on a beat counts the hits around it).
inline std::vector<double> weight_per_span(const std::vector<Hit>& hits, int period, int span,
                                           int lead = 0) {
    std::vector<double> weight(static_cast<std::size_t>(period / span), 0.0);
    for (const Hit& h : hits) {
        const int at = ((h.pip + lead) % period + period) % period;
        weight[static_cast<std::size_t>(at / span)] += h.weight;
    }
    return weight;
}

// Each value over the mean of all of them (1 where they are all alike, and
// for a lone value; 0 where every value is 0).
inline std::vector<double> relative_to_mean(const std::vector<double>& values) {
    double mean = 0.0;
    for (const double v : values) mean += v;
    mean /= static_cast<double>(values.size());
    std::vector<double> out(values.size(), 0.0);
    if (mean <= 0.0) return out;
    for (std::size_t i = 0; i < values.size(); ++i) out[i] = values[i] / mean;
    return out;
}

// Kick (-1) and backbeat (+1) gestures in time order, as kick_and_answer
// gives them, except that a kick and a backbeat on one pip go to the side
// opposite the gesture before them: where the two always strike together (a
// one drop) the point still steps from side to side. The loop is read twice,
// so that the first gesture follows the last.
inline std::vector<SidedHit> turning_kick_and_answer(const Roles& roles) {
    std::vector<SidedHit> sided = kick_and_answer(roles);
    const std::vector<Hit> answer = backbeat_or_answer(roles);
    std::vector<bool> both(sided.size(), false);
    for (std::size_t i = 0; i < sided.size(); ++i) {
        both[i] = has_pip(roles.kick, sided[i].hit.pip) && has_pip(answer, sided[i].hit.pip);
    }
    const std::size_t n = sided.size();
    for (std::size_t lap = 0; lap < 2 * n; ++lap) {
        const std::size_t i = lap % n;
        if (!both[i]) continue;
        if (lap == 0) continue;  // the first, before any gesture: the backbeat's side
        sided[i].side = -sided[(i + n - 1) % n].side;
    }
    return sided;
}

// ---- how often a lane turns back ----------------------------------------------

// A lane turns back only once it has come back this far from its last extreme:
// smaller wiggles, and still stretches, are no reversal.
inline constexpr double kReversalEps = 0.005;

// The most times a looped lane turns back within any 64 pips (every start,
// around the seam).
inline int most_reversals_a_beat(const Track& lane) {
    const int n = static_cast<int>(lane.size());
    std::vector<int> turns;  // pips in [0, n) of the turning points, ascending
    int direction = 0;
    double high = lane[0], low = lane[0];
    int high_at = 0, low_at = 0;
    // Three laps, keeping the turns of the middle one.
    for (int i = 0; i < 3 * n; ++i) {
        const double v = lane[static_cast<std::size_t>(i % n)];
        if (direction >= 0) {
            if (v > high) high = v, high_at = i;
            if (high - v > kReversalEps) {
                if (direction > 0 && high_at >= n && high_at < 2 * n) turns.push_back(high_at - n);
                direction = -1, low = v, low_at = i;
                continue;
            }
        }
        if (direction <= 0) {
            if (v < low) low = v, low_at = i;
            if (v - low > kReversalEps) {
                if (direction < 0 && low_at >= n && low_at < 2 * n) turns.push_back(low_at - n);
                direction = 1, high = v, high_at = i;
            }
        }
    }
    std::sort(turns.begin(), turns.end());
    int most = 0;
    for (std::size_t i = 0; i < turns.size(); ++i) {
        int count = 0;
        for (std::size_t j = 0; j < turns.size(); ++j) {
            const int ahead = pips_until(turns[i], turns[j], n);
            if (ahead < kPipsPerBeat) ++count;
        }
        most = std::max(most, count);
    }
    return most;
}

// The lane, smoothed (a triangular average over a reach that grows a pip at a
// time) until it turns back no more than `most` times within any beat: only a
// lane that trembles faster than that is touched, and only as much as needed.
inline Track tamed(const Track& lane, int most = 8) {
    Track out = lane;
    for (int reach = 1; most_reversals_a_beat(out) > most && reach <= 16; ++reach) {
        out = smoothed(lane, reach);
    }
    return out;
}

}  // namespace gen::beat

namespace gen::beat {

// Whether bar `bar` (256 pips) of the groove sounds exactly as the bar before
// it: every lane with the same hits at the same places. Bar 0 repeats no bar.
inline bool repeats_previous_bar(const Groove& groove, int bar) {
    if (bar == 0) return false;
    const auto in_bar = [](const Lane& lane, int b) {
        std::vector<Hit> found;
        for (const Hit& h : lane.hits) {
            if (h.pip / 256 == b) found.push_back({h.pip - 256 * b, h.weight});
        }
        return found;
    };
    for (const Lane& lane : groove.lanes) {
        const std::vector<Hit> now = in_bar(lane, bar), before = in_bar(lane, bar - 1);
        if (now.size() != before.size()) return false;
        for (std::size_t i = 0; i < now.size(); ++i) {
            if (now[i].pip != before[i].pip || now[i].weight != before[i].weight) return false;
        }
    }
    return true;
}

}  // namespace gen::beat

namespace gen::beat {

// Every hit of the groove's lanes as (lane, pip within its bar, weight), bar
// by bar.
inline std::vector<std::vector<std::tuple<std::size_t, int, double>>> bar_contents(
    const Groove& groove) {
    std::vector<std::vector<std::tuple<std::size_t, int, double>>> bars(
        static_cast<std::size_t>(groove.period / 256));
    for (std::size_t l = 0; l < groove.lanes.size(); ++l) {
        for (const Hit& h : groove.lanes[l].hits) {
            bars[static_cast<std::size_t>(h.pip / 256)].emplace_back(l, h.pip % 256, h.weight);
        }
    }
    for (auto& bar : bars) std::sort(bar.begin(), bar.end());
    return bars;
}

// The hits that make a fill: those of every bar that the groove's prevailing
// bar (the most frequent one; of several as frequent, the one that weighs
// least) lacks at their place, at their pips in the loop. A groove whose bars
// are all alike has none.
inline std::vector<Hit> departing_hits(const Groove& groove) {
    const auto bars = bar_contents(groove);
    const auto weight = [](const auto& bar) {
        double w = 0.0;
        for (const auto& hit : bar) w += std::get<2>(hit);
        return w;
    };
    std::size_t prevailing = 0;
    std::size_t most = 0;
    for (std::size_t b = 0; b < bars.size(); ++b) {
        const auto n = static_cast<std::size_t>(std::count(bars.begin(), bars.end(), bars[b]));
        if (n > most || (n == most && weight(bars[b]) < weight(bars[prevailing]))) {
            prevailing = b;
            most = n;
        }
    }
    std::vector<Hit> fills;
    for (std::size_t b = 0; b < bars.size(); ++b) {
        for (const auto& hit : bars[b]) {
            if (!std::binary_search(bars[prevailing].begin(), bars[prevailing].end(), hit)) {
                fills.push_back({256 * static_cast<int>(b) + std::get<1>(hit), std::get<2>(hit)});
            }
        }
    }
    std::sort(fills.begin(), fills.end(), [](const Hit& a, const Hit& b) { return a.pip < b.pip; });
    return fills;
}

}  // namespace gen::beat

namespace gen::beat {

// As cycling_sides, but the walk starts afresh in every bar, so that bars
// with one score twist alike.
inline auto cycling_sides_by_bar(const std::vector<Hit>& hits) {
    std::vector<double> sides(hits.size());
    std::size_t k = 0;
    int bar = -1;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        if (hits[i].pip / 256 != bar) bar = hits[i].pip / 256, k = 0;
        k = (k + leap(hits[i].weight)) % 7;
        sides[i] = std::cos(kTwoPi * static_cast<double>(k) / 7.0);
    }
    return [sides](std::size_t i) { return sides[i]; };
}

// As alternating_detail, but each lane's sides start afresh in every bar, so
// that bars with one score ripple alike.
inline Track alternating_detail_by_bar(const Groove& groove, int period, double rise, double fall) {
    return layered_swells_after(groove, period, rise, fall, [](const std::vector<Hit>& lane) {
        std::vector<double> sides(lane.size());
        double side = -1.0;
        int bar = -1;
        for (std::size_t i = 0; i < lane.size(); ++i) {
            if (lane[i].pip / 256 != bar) bar = lane[i].pip / 256, side = -1.0;
            if (lane[i].weight > kGhost) side = -side;
            sides[i] = side;
        }
        return [sides](std::size_t i) { return sides[i]; };
    });
}

}  // namespace gen::beat

namespace gen::beat {

// The value up to `knee`, above it a tanh curve that never reaches `limit`:
// a ceiling that leaves everything below the knee as it is.
inline double soft_ceiling(double value, double knee, double limit) {
    if (value <= knee) return value;
    return knee + (limit - knee) * std::tanh((value - knee) / (limit - knee));
}

}  // namespace gen::beat

namespace gen::beat {

// A pace that counts one unit from each anchor pip to the next (ascending,
// distinct pips in [0, period), around the loop): i + a fraction in the
// stretch that starts at the i-th anchor, the stretch before the first
// anchor continuing the last one's. Within each stretch it advances at `calm`
// per pip plus the weights of the hits spread over `width` pips around each.
inline Track pace_between(const std::vector<int>& anchors, const std::vector<Hit>& hits, int period,
                          double calm, double width) {
    const Track rate = hit_rate(hits, period, calm, width);
    Track pace(static_cast<std::size_t>(period), 0.0);
    const std::size_t n = anchors.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int start = anchors[i];
        const int length = n == 1 ? period : pips_until(start, anchors[(i + 1) % n], period);
        double total = 0.0;
        for (int t = 0; t < length; ++t) total += rate[static_cast<std::size_t>((start + t) % period)];
        double run = 0.0;
        for (int t = 0; t < length; ++t) {
            const auto at = static_cast<std::size_t>((start + t) % period);
            pace[at] = static_cast<double>(i) + run / total;
            run += rate[at];
        }
    }
    return pace;
}

}  // namespace gen::beat
