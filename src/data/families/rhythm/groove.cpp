// groove_: two bars of funk drumming as motion. Kicks drop, snares and ghost
// notes lift, the hi-hat sways side to side. Each excerpt is given as played,
// with its hits a few pips early or late, and quantised to the sixteenth grid.
#include <vector>

#include "families.hpp"
#include "strokes.hpp"

namespace gen {
namespace {

constexpr int kSixteenth = kPipsPerBeat / 4;

enum class Voice { kick, snare, ghost, hat, open_hat };

// One drum hit: its sixteenth (0 to 31 over two bars of 4/4), its voice and
// how many pips the player was ahead of (-) or behind (+) the grid.
struct Hit {
    int step;
    Voice voice;
    int offset;
};

// Excerpt A: eighth-note hats with the hat opened on the last offbeat of each
// bar, backbeats laid back by three to five pips, ghost notes around them and
// kicks pushed slightly ahead.
const std::vector<Hit> kExcerptA = {
    {0, Voice::kick, 1},    {6, Voice::kick, -2},   {10, Voice::kick, -1},
    {16, Voice::kick, 1},   {19, Voice::kick, -2},  {22, Voice::kick, -1},
    {26, Voice::kick, -2},  {4, Voice::snare, 3},   {12, Voice::snare, 4},
    {20, Voice::snare, 3},  {28, Voice::snare, 5},  {7, Voice::ghost, -3},
    {9, Voice::ghost, 2},   {15, Voice::ghost, 2},  {23, Voice::ghost, -2},
    {25, Voice::ghost, 3},  {30, Voice::ghost, -1}, {0, Voice::hat, 0},
    {2, Voice::hat, 3},     {4, Voice::hat, -1},    {6, Voice::hat, 2},
    {8, Voice::hat, 1},     {10, Voice::hat, 4},    {12, Voice::hat, 0},
    {14, Voice::open_hat, 2}, {16, Voice::hat, -1}, {18, Voice::hat, 3},
    {20, Voice::hat, 1},    {22, Voice::hat, 2},    {24, Voice::hat, 0},
    {26, Voice::hat, 4},    {28, Voice::hat, -1},   {30, Voice::open_hat, 3},
};

// Excerpt B: busier kicks and sixteenth-note hats whose off-sixteenths drag
// three to five pips late, the swing of the sixteenth feel.
const std::vector<Hit> kExcerptB = [] {
    std::vector<Hit> hits = {
        {0, Voice::kick, -1},  {3, Voice::kick, 2},   {8, Voice::kick, 0},
        {11, Voice::kick, 3},  {14, Voice::kick, -1}, {16, Voice::kick, 1},
        {18, Voice::kick, -2}, {24, Voice::kick, 0},  {27, Voice::kick, 2},
        {4, Voice::snare, 2},  {12, Voice::snare, 4}, {20, Voice::snare, 3},
        {28, Voice::snare, 2}, {6, Voice::ghost, 3},  {10, Voice::ghost, -2},
        {13, Voice::ghost, 4}, {21, Voice::ghost, 2}, {23, Voice::ghost, 5},
        {29, Voice::ghost, 3}, {31, Voice::ghost, -2},
    };
    constexpr int kOnLate[] = {0, -1, 1, 0, 1, -1, 0, 1};
    constexpr int kOffLate[] = {4, 3, 5, 4, 3, 5, 4, 3};
    for (int s = 0; s < 32; ++s) {
        const int lateness = s % 2 == 0 ? kOnLate[(s / 2) % 8] : kOffLate[(s / 2) % 8];
        hits.push_back({s, Voice::hat, lateness});
    }
    return hits;
}();

// Kicks drop and snares lift on the vertical lane; hats alternate sides on the
// lateral lane in the order they are played, louder on the beat.
Rows groove(const std::vector<Hit>& hits, bool played, int period) {
    strokes::Lane lateral;
    strokes::Lane vertical;
    double hat_side = 1.0;
    for (const Hit& h : hits) {
        const double pip = kSixteenth * h.step + (played ? h.offset : 0);
        const bool on_beat = h.step % 4 == 0;
        switch (h.voice) {
            case Voice::kick:
                vertical.push_back({pip, h.step % 16 == 0 ? -0.88 : -0.78, 10.0, 30.0});
                break;
            case Voice::snare:
                vertical.push_back({pip, 0.85, 8.0, 28.0});
                break;
            case Voice::ghost:
                vertical.push_back({pip, 0.24, 6.0, 10.0});
                break;
            case Voice::hat:
                lateral.push_back({pip, hat_side * (on_beat ? 0.5 : h.step % 2 == 0 ? 0.38 : 0.22),
                                   8.0, 20.0});
                hat_side = -hat_side;
                break;
            case Voice::open_hat:
                lateral.push_back({pip, hat_side * 0.66, 10.0, 28.0});
                hat_side = -hat_side;
                break;
        }
    }
    return rows_from_lanes(period, strokes::render_lane(lateral, period),
                            strokes::render_lane(vertical, period));
}

}  // namespace

Rows groove_a_played(int period) { return groove(kExcerptA, true, period); }

Rows groove_a_grid(int period) { return groove(kExcerptA, false, period); }

Rows groove_b_played(int period) { return groove(kExcerptB, true, period); }

Rows groove_b_grid(int period) { return groove(kExcerptB, false, period); }

}  // namespace gen
