// Pieces shared by the phrase families (meter_, stick_study_, canon_, echo_,
// ladder_, necklace_): exact beat fractions for onset times, and lanes of
// gestures whose widths follow the local spacing of the score.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "gen_support.hpp"

namespace gen::phrases {

// A time in beats as an exact fraction, turned into pips only at the end.
struct Beats {
    int num = 0;
    int den = 1;
};

inline double pips_of(Beats b) {
    return static_cast<double>(kPipsPerBeat * b.num) / static_cast<double>(b.den);
}

inline bool before(Beats a, Beats b) { return a.num * b.den < b.num * a.den; }

inline Beats plus(Beats a, Beats b) {
    int num = a.num * b.den + b.num * a.den;
    int den = a.den * b.den;
    for (int f = 2; f <= std::min(std::abs(num), den); ++f) {
        while (num % f == 0 && den % f == 0) {
            num /= f;
            den /= f;
        }
    }
    return {num, den};
}

// One lane of a score: every onset becomes a raised-cosine gesture of
// side * accent centred on its pip. The gesture rises over `fraction` (at
// most 1) of the distance from the previous onset on the same lane and falls
// over that fraction of the distance to the next one, measured around the
// loop, each side at most `widest` pips. A neighbour's gesture has thus died
// away before the onset, so every peak sits on its onset with exactly its own
// side * accent, and the gestures fill uneven gaps from both ends.
inline std::vector<double> spaced_lane(std::vector<Onset> score, int period, double fraction,
                                       double widest, const std::string& who) {
    std::vector<double> lane(static_cast<std::size_t>(period), 0.0);
    if (score.empty()) return lane;
    std::sort(score.begin(), score.end(),
              [](const Onset& a, const Onset& b) { return a.pip < b.pip; });
    const std::size_t n = score.size();
    const double loop = static_cast<double>(period);
    std::vector<double> rise(n), fall(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double next = i + 1 < n ? score[i + 1].pip - score[i].pip
                                      : score[0].pip + loop - score[i].pip;
        if (!(next > 0.0)) throw std::logic_error(who + ": two onsets share a pip on one lane");
        fall[i] = std::min(fraction * next, widest);
        rise[(i + 1) % n] = fall[i];
        if (n == 1) rise[i] = fall[i];
    }
    for (int p = 0; p < period; ++p) {
        double sum = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            sum += score[i].accent * score[i].side *
                   lopsided_bump(p, score[i].pip, rise[i], fall[i], loop);
        }
        lane[static_cast<std::size_t>(p)] = sum;
    }
    return lane;
}

}  // namespace gen::phrases
