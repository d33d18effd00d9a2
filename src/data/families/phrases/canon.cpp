// canon_: a short motif on exact beat fractions is struck sideways (x), then
// imitated in depth (z) with the same opening and an altered second half.
// Every note also sings its pitch contour on y. The `close` answer enters on
// the heels of the call, the `late` one after a rest in the second half.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "families.hpp"
#include "phrases_common.hpp"

namespace gen {

namespace {

using phrases::Beats;

struct Note {
    Beats at;       // from the start of the motif
    double side;    // +1 right / forward, -1 left / back
    double accent;
    int pitch;      // contour step, -2 to 2
};

struct Motif {
    std::vector<Note> call;
    int kept;                // notes of the call that the answer repeats
    std::vector<Note> tail;  // the answer's own second half
    Beats close;             // answer entry, soon after the call
    Beats late;              // answer entry, after a rest
};

const std::vector<Motif>& motifs() {
    static const std::vector<Motif> kMotifs = {
        // halves against thirds
        {{{{0, 1}, 1, 0.9, 0}, {{1, 2}, -1, 0.5, 1}, {{1, 1}, 1, 0.6, 2},
          {{5, 3}, -1, 0.5, 1}, {{7, 3}, 1, 0.7, 0}, {{3, 1}, -1, 0.8, -1}},
         3,
         {{{3, 2}, 1, 0.5, 2}, {{2, 1}, -1, 0.7, 1}, {{11, 4}, -1, 0.8, -2}},
         {7, 2},
         {29, 6}},
        // dotted eighths
        {{{{0, 1}, 1, 0.9, -1}, {{3, 4}, 1, 0.5, 0}, {{3, 2}, -1, 0.7, 1},
          {{2, 1}, 1, 0.5, 2}, {{9, 4}, -1, 0.6, 1}, {{3, 1}, 1, 0.8, 0}},
         3,
         {{{5, 2}, 1, 0.6, -1}, {{11, 4}, -1, 0.5, -2}, {{13, 4}, -1, 0.8, 0}},
         {15, 4},
         {9, 2}},
        // fifths of a beat
        {{{{0, 1}, -1, 0.85, 1}, {{2, 5}, 1, 0.5, 0}, {{4, 5}, -1, 0.5, -1},
          {{6, 5}, 1, 0.7, 0}, {{2, 1}, -1, 0.6, 2}, {{12, 5}, 1, 0.8, 1}},
         3,
         {{{8, 5}, -1, 0.7, -2}, {{11, 5}, 1, 0.5, -1}, {{14, 5}, 1, 0.8, 0}},
         {3, 1},
         {22, 5}},
        // triplets
        {{{{0, 1}, 1, 0.9, 0}, {{1, 3}, -1, 0.45, -1}, {{2, 3}, 1, 0.45, -2},
          {{4, 3}, -1, 0.7, 0}, {{2, 1}, 1, 0.6, 1}, {{8, 3}, -1, 0.8, 2}},
         3,
         {{{1, 1}, -1, 0.6, 1}, {{5, 3}, -1, 0.5, 2}, {{3, 1}, 1, 0.85, 0}},
         {10, 3},
         {14, 3}},
        // halves against sixths
        {{{{0, 1}, -1, 0.9, 2}, {{1, 2}, 1, 0.5, 1}, {{5, 6}, 1, 0.6, 0},
          {{3, 2}, -1, 0.7, -1}, {{13, 6}, 1, 0.5, -2}, {{5, 2}, -1, 0.8, 0}},
         3,
         {{{4, 3}, -1, 0.5, 1}, {{2, 1}, 1, 0.7, 2}, {{8, 3}, 1, 0.8, 1}},
         {3, 1},
         {13, 3}},
        // sixteenth pickups
        {{{{0, 1}, 1, 0.9, 0}, {{1, 4}, 1, 0.4, 1}, {{1, 1}, -1, 0.7, -1},
          {{5, 4}, -1, 0.4, 0}, {{2, 1}, 1, 0.7, 1}, {{9, 4}, 1, 0.4, 2}, {{3, 1}, -1, 0.8, 0}},
         4,
         {{{7, 4}, 1, 0.6, -2}, {{5, 2}, -1, 0.5, -1}, {{11, 4}, 1, 0.85, 1}},
         {7, 2},
         {19, 4}},
        // fifths into thirds
        {{{{0, 1}, -1, 0.9, -2}, {{3, 5}, 1, 0.5, -1}, {{6, 5}, -1, 0.6, 0},
          {{5, 3}, 1, 0.6, 1}, {{7, 3}, -1, 0.5, 2}, {{3, 1}, 1, 0.8, 1}},
         3,
         {{{2, 1}, 1, 0.7, -1}, {{5, 2}, 1, 0.5, 0}, {{3, 1}, -1, 0.85, -2}},
         {7, 2},
         {9, 2}},
        // groups of three sixteenths
        {{{{0, 1}, 1, 0.9, 1}, {{3, 8}, -1, 0.5, 0}, {{3, 4}, 1, 0.5, -1},
          {{3, 2}, -1, 0.7, 0}, {{15, 8}, 1, 0.5, 1}, {{9, 4}, -1, 0.6, 2}, {{3, 1}, 1, 0.8, 0}},
         4,
         {{{2, 1}, 1, 0.6, -1}, {{5, 2}, -1, 0.7, -2}, {{11, 4}, 1, 0.5, -1}},
         {27, 8},
         {5, 1}},
    };
    return kMotifs;
}

constexpr double kPitchStep = 0.22;  // y per contour step
constexpr double kLoopBeats = 8.0;

// The answer must start after the call and finish before the loop returns to it.
void check_fits(const Motif& m, Beats entry, const std::string& who) {
    const Beats last_call = m.call.back().at;
    const Beats last_answer = m.tail.back().at;
    if (!phrases::before(last_call, entry) ||
        phrases::pips_of(entry) + phrases::pips_of(last_answer) >= (kLoopBeats - 0.2) * kPipsPerBeat ||
        !phrases::before(m.call[static_cast<std::size_t>(m.kept - 1)].at, m.tail.front().at)) {
        throw std::logic_error(who + ": the answer does not fit the loop");
    }
}

}  // namespace

void emit_canon(Table& table) {
    constexpr int kPeriod = 512;
    int number = 0;
    for (const Motif& motif : motifs()) {
        ++number;
        for (const bool late : {false, true}) {
            char name[32];
            std::snprintf(name, sizeof name, "canon_%02d_%s", number, late ? "late" : "close");
            const Beats entry = late ? motif.late : motif.close;
            check_fits(motif, entry, name);
            std::vector<Onset> lateral, contour, depth;
            for (const Note& note : motif.call) {
                const double pip = phrases::pips_of(note.at);
                lateral.push_back({pip, note.side, note.accent});
                contour.push_back({pip, 1.0, kPitchStep * note.pitch});
            }
            std::vector<Note> answer(motif.call.begin(), motif.call.begin() + motif.kept);
            answer.insert(answer.end(), motif.tail.begin(), motif.tail.end());
            for (const Note& note : answer) {
                const double pip = phrases::pips_of(phrases::plus(entry, note.at));
                depth.push_back({pip, note.side, note.accent});
                contour.push_back({pip, 1.0, kPitchStep * note.pitch});
            }
            table.push_back({
                name,
                "A rational-beat motif passes between lateral and depth lanes, with an altered "
                "second-half response.",
                kPeriod,
                3,
                rows_from_lanes(kPeriod, phrases::spaced_lane(lateral, kPeriod, 0.8, 28.0, name),
                                 phrases::spaced_lane(contour, kPeriod, 0.8, 28.0, name),
                                 phrases::spaced_lane(depth, kPeriod, 0.8, 28.0, name)),
            });
        }
    }
}

}  // namespace gen
