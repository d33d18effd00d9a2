// The scores of the 68 beat styles, in style order: lanes of steps on a
// sixteenth grid (eighth-note triplets where a lane is marked "(triplet)"),
// x accent, o normal, g ghost, . rest, bars separated by " |", and the swing
// of each style. Each entry opens with a note on what its groove does.
#include "beat.hpp"

#include <stdexcept>
#include <string>

namespace gen::beat {

const std::vector<Score>& beat_scores() {
    static const std::vector<Score> scores = {
    // Four equal quarter-note kicks and nothing else: the bare pulse under every four-floor style.
    {"four_floor", 1, 0.0, {
        {"kick",             "x...x...x...x..."},
    }},
    // Kick on every beat, clap on 2 and 4, open hat on every "&"; quiet closed sixteenths fill the
    // gaps.
    {"house_classic", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"clap",             "....x.......x... |....x.......x..."},
        {"hat",              "gg.ggg.ggg.ggg.g |gg.ggg.ggg.ggg.g"},
        {"open hat",         "..x...x...x...x. |..x...x...x...x."},
    }},
    // Closed hats sit only on the off-sixteenths ("e" and "a"), so swing drags every one of them
    // late; the "a" is louder and pushes into the next beat.
    {"house_shuffle", 2, 0.25, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"clap",             "....x.......x... |....x.......x..."},
        {"hat",              ".g.o.g.o.g.o.g.o |.g.o.g.o.g.o.g.o"},
        {"open hat",         "..x...x...x...x. |..x...x...x...x."},
    }},
    // Swung jack: ghost kicks on the last sixteenths of bar 2 roll into the downbeat; ghost claps
    // on the "a" of 2 answer the main claps.
    {"house_jack", 2, 0.25, {
        {"kick",             "x...x...x...x..g |x...x...x.g.x.gg"},
        {"clap",             "....x..g....x... |....x..g....x..g"},
        {"hat",              ".g...g...g...g.. |.g...g...g...g.."},
        {"open hat",         "..o...o...o...o. |..o...o...o...o."},
    }},
    // Straight and relentless: a kick on every beat, loud open hat on every "&", light snare on 2
    // and 4; one closed hat on the "e" of 3 keeps it from being static.
    {"techno_drive", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"snare",            "....o.......o... |....o.......o..."},
        {"hat",              ".........g...... |.........g...g.."},
        {"open hat",         "..x...x...x...x. |..x...x...x...x."},
    }},
    // Low tom asks on the "a" of 1 and the "&" of 3, high tom answers a sixteenth later; bar 2
    // lengthens the answer.
    {"techno_toms", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"open hat",         "..o...o...o...o. |..o...o...o...o."},
        {"low tom",          "...o......o..... |...o......o...o."},
        {"high tom",         ".....o.......o.. |.....o.o.....oo."},
    }},
    // No quarter-note kick: kicks on 1, the "&" of 2 and the "&" of 3 against a steady clap and
    // offbeat hat; bar 2 breaks it further ("a" of 1, "&" of 3, "e" of 4).
    {"techno_broken", 2, 0.0, {
        {"kick",             "x.....x...x..... |x..x......x..o.."},
        {"clap",             "....o.......o... |....o.......o..."},
        {"open hat",         "..o...o...o...o. |..o...o...o...o."},
        {"perc",             "...g.....g...... |.....g.....g..g."},
    }},
    // A percussion hit every 3 sixteenths drifts across the 4/4 kick; the two cycles (3 and 16
    // steps) meet again only after 48 steps = 3 bars.
    {"techno_polymeter", 3, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x... |x...x...x...x..."},
        {"open hat",         "..o...o...o...o. |..o...o...o...o. |..o...o...o...o."},
        {"perc",             "x..o..o..o..o..o |..o..o..o..o..o. |.o..o..o..o..o.."},
    }},
    // Kick only on 1 and the "&" of 3, clap on 2 and 4; swung hats, rims and toms on the off-
    // sixteenths give the skip.
    {"ukg_two_step", 2, 0.24, {
        {"kick",             "x.........x..... |x.........x....."},
        {"clap",             "....x.......x... |....x.......x..."},
        {"hat",              "..oo..o...o...oo |..o...o...o...o."},
        {"rim",              ".g.....g.....g.. |.g.....g.....g.."},
        {"tom",              ".....g.....g.... |.....g.....g...."},
    }},
    // No kick on beat 3: bar 1 kicks 1, "&" of 2, 4; bar 2 answers with a pushed skip (1, "a" of
    // 1, 3, "&" of 4). Offbeat-eighth hats carry the step.
    {"ukg_skip", 2, 0.16, {
        {"kick",             "x.....x.....x... |x..x....x.....x."},
        {"clap",             "....x.......x... |....x.......x..."},
        {"hat",              "..o...o...o...o. |..o...o...o...o."},
        {"shaker",           ".g.g.g.g.g.g.g.g |.g.g.g.g.g.g.g.g"},
    }},
    // Four-four garage: straight kick, clap on 2 and 4, closed eighths that open on the "&" of 2
    // and 4, swung ghost shaker on every off-sixteenth.
    {"ukg_four_four", 2, 0.16, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"clap",             "....x.......x... |....x.......x..."},
        {"hat",              "o.o.o...o.o.o... |o.o.o...o.o.o..."},
        {"open hat",         "......x.......x. |......x.......x."},
        {"shaker",           ".g.g.g.g.g.g.g.g |.g.g.g.g.g.g.g.g"},
    }},
    // Four-floor kick, snare 2 and 4, open hat on every "&"; the bass only ever speaks between
    // kicks, answering on the offbeats and pushing into bar 1 at the end.
    {"speed_garage", 2, 0.16, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"snare",            "....x.......x... |....x.......x..."},
        {"open hat",         "..x...x...x...x. |..x...x...x...x."},
        {"shaker",           ".g.g.g.g.g.g.g.g |.g.g.g.g.g.g.g.g"},
        {"bass",             "..o...o.......o. |..o...o...o..o.o"},
    }},
    // Garage four-four frame under a busy, syncopated bass hook (3+3+2 start, then answers around
    // the "&" of 3 and 4).
    {"bassline", 2, 0.16, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"clap",             "....x.......x... |....x.......x..."},
        {"open hat",         "..o...o...o...o. |..o...o...o...o."},
        {"shaker",           ".g.g.g.g.g.g.g.g |.g.g.g.g.g.g.g.g"},
        {"bass",             "o..o..o...o.o... |o..o..o.o..o.oo."},
    }},
    // Bare and square at 140: hard snare on 2 and 4, quarter-note hats, only two kicks a bar; no
    // swing, lots of air.
    {"grime_sparse", 2, 0.0, {
        {"kick",             "x......o........ |x.........x....."},
        {"snare",            "....x.......x... |....x.......x..."},
        {"hat",              "o...o...o...o... |o...o...o...o..."},
    }},
    // 140 BPM, straight: the snare leaves the backbeat (2 and the "a" of 3, then "&" of 1, 3 and
    // "&" of 4), so kick and snare trade places across the two bars.
    {"grime_syncopated", 2, 0.0, {
        {"kick",             "x.....x......... |x..x......x....."},
        {"snare",            "....x......x.... |..x.....x.....x."},
        {"hat",              "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o."},
    }},
    // Half-time: one snare per bar on beat 3, a kick on 1 and one late answer; most sixteenths are
    // empty.
    {"grime_half", 2, 0.0, {
        {"kick",             "x..........o.... |x.....o........."},
        {"snare",            "........x....... |........x......."},
        {"hat",              "..o.......o..... |..o.......o...g."},
    }},
    // Half-time snare on beat 3; hats grouped 3+3+2 sixteenths (twice per bar) on a straight grid;
    // sliding 808-style kick on 1 and the "&" of 2 or 3.
    {"drill_tresillo", 2, 0.0, {
        {"kick",             "x.....x......... |x.........x....."},
        {"snare",            "........x....... |........x......."},
        {"hat",              "o..o..o.o..o..o. |o..o..o.o..o..o."},
    }},
    // The second-bar snare moves from beat 3 to beat 4, so the backbeat seems to slip late every
    // other bar.
    {"drill_displaced", 2, 0.0, {
        {"kick",             "x.....x...x..... |x..x......o....."},
        {"snare",            "........x....... |............x..."},
        {"hat",              "o.o.o.o.o.o.o.o. |o.o.o.o.o.oo.oo."},
    }},
    // Straight eighth hats hand over, in the second half of bar 2, to a true eighth-note-triplet
    // roll (6 even hits over beats 3-4) that swells into the loop point.
    {"drill_rolls", 2, 0.0, {
        {"kick",             "x......x.x...... |x.....x........."},
        {"snare",            "........x....... |........x......."},
        {"hat",              "o.o.o.o.o.o.o.o. |o.o.o.o........."},
        {"hat (triplet)",    "............ |......gggooo"},
    }},
    // Bars 1-2: funk groove, double kick on the "&"/"a" of 3, snare pickups around beat 3 and
    // before the bar line. Bars 3-4: beat-4 snare delayed to the "&", kick pulled to the "&" of 1
    // in bar 4, crash on the "&" of 3 ends the phrase. Timing/velocity approximate.
    {"amen_four_bar", 4, 0.0, {
        {"kick",             "x.x.......ox.... |x.x.......ox.... |x.x.......x..... |..xx......x....."},
        {"snare",            "....x..g.g..x..o |....x..g.g..x..o |....x..g.g....x. |.g..x..g.g....x."},
        {"ride",             "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o. |o.o.o.o.o...o.o."},
        {"crash",            "................ |................ |................ |..........x....."},
        {"hat",              "g...g...g...g... |g...g...g...g... |g...g...g...g... |g...g...g...g..."},
    }},
    // The same four bars with only the quiet snare pickups removed: the skeleton (backbeats, the
    // late snare of bars 3-4, the kick shifts) stays intact.
    {"amen_no_ghosts", 4, 0.0, {
        {"kick",             "x.x.......ox.... |x.x.......ox.... |x.x.......x..... |..xx......x....."},
        {"snare",            "....x.......x..o |....x.......x..o |....x.........x. |....x.........x."},
        {"ride",             "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o. |o.o.o.o.o...o.o."},
        {"crash",            "................ |................ |................ |..........x....."},
        {"hat",              "g...g...g...g... |g...g...g...g... |g...g...g...g... |g...g...g...g..."},
    }},
    // Break fragments re-ordered: a straight first half, a late-snare second half, then a bar that
    // starts off the beat and stutters the snare at the end.
    {"jungle_chops", 2, 0.0, {
        {"kick",             "x.x.......x..... |..xx......x.x..."},
        {"snare",            "....x..g.g....x. |.g..x..g....x.xg"},
        {"ride",             "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o."},
    }},
    // Syncopated jungle snare (beat 2 and the "&" of 4) surrounded by ghost notes; bar 2 starts
    // late and ends in a short ghost roll into the last snare.
    {"jungle_ghosts", 2, 0.0, {
        {"kick",             "x.x.......x..... |.xx.......x....."},
        {"snare",            "....x..g.g....x. |.g..x..g.g..ggxg"},
        {"hat",              "o.o.o.o.o.o.o.oo |o.o.o.o.o.o.o.oo"},
    }},
    // Bars 1-2 run full-time (snare on 2 and 4); bars 3-4 drop to one snare per bar on beat 3
    // while the ride keeps the same eighths, so the tempo never changes.
    {"jungle_switch", 4, 0.0, {
        {"kick",             "x.x.......x..... |x.x.......xx.... |x.........x..... |x.........x....."},
        {"snare",            "....x..g.g..x..g |....x..g.g..x..g |........x......g |........x...g.g."},
        {"ride",             "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o."},
    }},
    // The two-step: kick on 1 and the "&" of 3, snare on 2 and 4, eighth hats with a pickup at the
    // very end.
    {"dnb_two_step", 2, 0.0, {
        {"kick",             "x.........x..... |x.........x....."},
        {"snare",            "....x.......x... |....x.......x..."},
        {"hat",              "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.oo"},
    }},
    // Two-step skeleton filled with ghost snares on the "a" of 2, "e" of 3 and "a" of 4 and
    // sixteenth hats; the ghosts make it roll.
    {"dnb_rolling", 2, 0.0, {
        {"kick",             "x.........x..... |x..o......x....."},
        {"snare",            "....x..g.g..x..g |....x..g.g.gx.g."},
        {"hat",              "ogogogogogogogog |ogogogogogogogog"},
    }},
    // Half-time at drum & bass tempo: a single snare on beat 3, kick on 1 with one late answer in
    // bar 2; hats keep the fast eighths.
    {"dnb_half", 2, 0.0, {
        {"kick",             "x............... |x.........o....."},
        {"snare",            "........x....... |........x......."},
        {"hat",              "o.g.o.g.o.g.o.g. |o.g.o.g.o.g.o.g."},
    }},
    // Half-step: kick on 1 and the "&" of 3, one snare on beat 3; sparse hats around the kick.
    {"dubstep_half", 2, 0.0, {
        {"kick",             "x.........x..... |x.........x....."},
        {"snare",            "........x....... |........x......."},
        {"hat",              ".oo...o....o..o. |.oo...o....o..o."},
        {"open hat",         "....x........x.. |....x........x.."},
    }},
    // Same half-step snare with a 3+3 skipping kick (1, "a" of 1, "&" of 2) before the "&" of 3;
    // bar 2 adds a late kick.
    {"dubstep_skip", 2, 0.0, {
        {"kick",             "x..x..x...x..... |x..x..x...x..o.."},
        {"snare",            "........x....... |........x......."},
        {"hat",              ".oo...o....o..o. |.oo...o....o..o."},
        {"open hat",         "....x........x.. |....x........x.."},
    }},
    // Half-time snare on beat 3; eighth hats break into sixteenth trills across the bar line and a
    // true triplet burst on beat 4 of bar 2.
    {"trap_trills", 2, 0.0, {
        {"kick",             "x.....x.....x... |..x.x..........."},
        {"snare",            "........x....... |........x......."},
        {"hat",              "o.o.o.o.o.o.oooo |ooooo.o.o.o....."},
        {"hat (triplet)",    "............ |.........ooo"},
    }},
    // Machine electro: kick on 1 and the "&" of 2 (no beat-3 kick), hard snare on 2 and 4, busy
    // straight sixteenth-based hats; bar 2 adds offbeat kicks.
    {"electro", 2, 0.0, {
        {"kick",             "x.....x......... |x.....x...x...x."},
        {"snare",            "....x.......x... |....x.......x..."},
        {"hat",              "o.ooo.ooo.ooo.oo |o.ooo.ooo.ooo.oo"},
    }},
    // Kick on the beat, bass and open hat together on every "&": the offbeat lift that makes the
    // beat bounce upward.
    {"trance", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"clap",             "....o.......o... |....o.......o..."},
        {"open hat",         "..x...x...x...x. |..x...x...x...x."},
        {"bass",             "..o...o...o...o. |..o...o...o...o."},
    }},
    // A four-floor kick with a breakbeat layered over it: the break kick doubles some beats and
    // adds "&"s, the break snare adds pickups around beat 3.
    {"rave_breaks", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"break kick",       "x.x...x...x..... |x.x.......x....."},
        {"snare",            "....x..x.x..x... |....x.......x..."},
        {"open hat",         "..o...o...o...o. |..o...o...o...o."},
        {"hat",              "g.g.g.g.g.g.g.g. |g.g.g.g.g.g.g.g."},
    }},
    // Quarter-note kick; the snare answers 3+3+2 in each half bar (the "a" of 1, "&" of 2, "a" of
    // 3, "&" of 4).
    {"dembow", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"snare",            "...x..x....x..x. |...x..x....x..x."},
        {"hat",              "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o."},
    }},
    // Four-floor kick, snare on 2 and 4, hats that open on the "a" of every beat and close again;
    // bar 2 doubles kick and snare before beat 4.
    {"disco", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x..xx..."},
        {"snare",            "....x.......x... |....x......xx..."},
        {"hat",              "ooo..oo.ooo..oo. |ooo..oo.ooo..oo."},
        {"open hat",         "...x...x...x...x |...x...x.......x"},
    }},
    // Laid-back ~112 BPM: soft four-floor kick, a continuous sixteenth shaker accented on the "&",
    // and a melodic log-drum bass that plays syncopated 3+3 figures between kicks.
    {"amapiano", 2, 0.12, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"shaker",           "ggogggogggogggog |ggogggogggogggog"},
        {"rim",              "...o......o..... |...o......o...o."},
        {"clap",             "........o....... |........o......."},
        {"log drum",         "..o..o..o.....o. |o..o..o...o.o..."},
    }},
    // Five kicks per bar: straight on 1, 2, 3, then a 3+3 run (the "a" of 3, the "&" of 4) that
    // tumbles into the next bar; ~140 BPM, straight.
    {"jersey_five", 2, 0.0, {
        {"kick",             "x...x...x..x..x. |x...x...x..x..x."},
        {"clap",             "....x.......x... |....x.......x..."},
        {"hat",              "..o...o...o...o. |..o...o...o...o."},
    }},
    // Bar 1 calls with the five-kick figure; bar 2 answers with a turnaround of 3+3 kicks then
    // running eighths, claps joining the last three.
    {"jersey_call", 2, 0.0, {
        {"kick",             "x...x...x..x..x. |x..x..x.x.x.x.x."},
        {"clap",             "....x.......x... |....x.....x.x.x."},
        {"perc",             "..o.......o..... |..o............."},
    }},
    // 160 BPM: kick in 3+3+2 groups twice a bar, a single clap on beat 4, running sixteenth rims;
    // the bass replies in quarter-note triplets against the 3+3+2 kick.
    {"footwork_triplet", 2, 0.0, {
        {"kick",             "x..x..x.x..x..x. |x..x..x.x..x..x."},
        {"clap",             "............x... |............x..."},
        {"hat",              "..o.......o..... |..o....oo.o...o."},
        {"rim",              "gggggggggggggggg |gggggggggggggggg"},
        {"bass (triplet)",   "o.....o.o.o. |o.o.o.o.o.o."},
    }},
    // Half-time clap on beat 3; the 3+3 kick figure starts and then stops dead, rims cut out mid-
    // bar, and a lone kick on the last sixteenth restarts it.
    {"footwork_sparse", 2, 0.0, {
        {"kick",             "x..x..x......... |x..x...........o"},
        {"clap",             "........x....... |........x......."},
        {"hat",              "..o.......o..... |..o............."},
        {"rim",              "gggggggg........ |gggg............"},
    }},
    // ~130 BPM four-floor kick with soca-style low tom on the "&" of 2 and 4, and high toms
    // skipping on the "a" of 1 and around beat 4.
    {"funky_toms", 2, 0.1, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"clap",             "....x.......x... |....x.......x..."},
        {"low tom",          "......o.......o. |......o.......o."},
        {"high tom",         "...o......o..o.. |...o.o....o..o.."},
        {"shaker",           "gggggggggggggggg |gggggggggggggggg"},
    }},
    // Bar 1 holds a four-floor kick under a dembow-like rim (3+3+2 per half bar); bar 2 breaks the
    // kick into 3+3 groups and the clap answers off the beat.
    {"funky_syncopated", 2, 0.1, {
        {"kick",             "x...x...x...x... |x..x..x...x.x..."},
        {"clap",             "....x.......x... |....x.....x..x.."},
        {"rim",              "...o..o....o..o. |...o..o....o..o."},
        {"open hat",         "..o...o...o...o. |..o...o...o...o."},
    }},
    // Snare on 2 is fixed; the second snare comes early (the "a" of 3) in bar 1 and late (the "e"
    // of 4) in bar 2, with syncopated kicks around them.
    {"broken_push", 2, 0.1, {
        {"kick",             "x......x..x..... |x.x....x...x...."},
        {"snare",            "....x......x.... |....x........x.."},
        {"hat",              "o.g.o.g.o.g.o.g. |o.g.o.g.o.g.o.g."},
    }},
    // A rim figure circulates in threes against the backbeat; heavy swing on the off-sixteenths
    // makes it shuffle.
    {"broken_shuffle", 2, 0.2, {
        {"kick",             "x.....x...x..... |x.......x.x....."},
        {"snare",            "....x.......x... |....x.......x..."},
        {"rim",              ".o..o.g..o..o.g. |.o..o.g..o.o..g."},
        {"hat",              "o.g.o.g.o.g.o.g. |o.g.o.g.o.g.o.g."},
    }},
    // Four-floor kick woven with a 3+3+4+4+2 bell (only beat 1 coincides with the kick) and a rim
    // pair on the "&"/"a" of every beat.
    {"afro_bell", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"bell",             "x..o..o...o...o. |x..o..o...o...o."},
        {"rim",              "..oo..oo..oo..oo |..oo..oo..oo..oo"},
    }},
    // Three against four: the 12/8 standard bell and a three-per-bar drum (every 4 triplet steps)
    // ride over a straight four-floor kick and sixteenth shaker.
    {"afro_cross", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"shaker",           "gggogggogggogggo |gggogggogggogggo"},
        {"bell (triplet)",   "x.o.oo.o.o.o |x.o.oo.o.o.o"},
        {"perc (triplet)",   "o...o...o... |o...o...o..."},
    }},
    // No four-on-the-floor: kicks on 1, the "&" of 2 and the "&" of 3, syncopated toms in the
    // gaps, almost no hats or snares; long silences are part of the groove.
    {"gqom_space", 2, 0.0, {
        {"kick",             "x.....x...x..... |x.....x........."},
        {"tom",              "...o.....o...o.. |...o.....o..o.o."},
        {"clap",             "............o... |................"},
    }},
    // Kick and tom trade the same 3+3 figure: kick opens bar 1 and tom answers in the second half;
    // in bar 2 they swap halves.
    {"gqom_exchange", 2, 0.0, {
        {"kick",             "x..x..x......... |........x..x..x."},
        {"tom",              "........o..o..o. |o..o..o........."},
        {"clap",             "....o.......o... |....o.......o..."},
    }},
    // Miami-bass-style kick (1, "&" of 2, 4) with a low drum answering each kick three sixteenths
    // later; claps mark 2 and 4.
    {"baile_toms", 2, 0.0, {
        {"kick",             "x.....x.....x... |x.....x...x....."},
        {"low tom",          "...o.....o.....o |...o....o....o.."},
        {"clap",             "....x.......x... |....x.......x..."},
    }},
    // boom - chak - chak - boom-boom - chak: kick on 1, 3 and the "&" of 3, claps on the "a" of 1,
    // "&" of 2 and 4; bar 2 adds a kick and clap answer at the end.
    {"baile_response", 2, 0.0, {
        {"kick",             "x.......x.x..... |x.......x.x..x.."},
        {"clap",             "...x..x.....x... |...x..x.....x..x"},
        {"hat",              "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o."},
    }},
    // One drop: beat 1 is empty; kick and cross-stick land together only on beat 3.
    {"reggae_one_drop", 2, 0.0, {
        {"kick",             "........x....... |........x......."},
        {"rim",              "........x....... |........x......."},
        {"hat",              "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o."},
        {"open hat",         "................ |..............o."},
    }},
    // Steppers: a kick on every beat under a single cross-stick on beat 3.
    {"reggae_steppers", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"rim",              "........x....... |........x......."},
        {"hat",              "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o."},
    }},
    // Kick on 1 and 3, cross-stick on 3 with the kick; eighth hats with a small skip at the end of
    // bar 2.
    {"reggae_rockers", 2, 0.0, {
        {"kick",             "x.......x....... |x.......x......."},
        {"rim",              "........x....... |........x......."},
        {"hat",              "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.oo.o"},
    }},
    // Son clave, three side first (1, "&" of 2, 4 | 2, 3), spelled over two 4/4 bars on a four-
    // floor club kick.
    {"son_clave_32", 2, 0.0, {
        {"clave",            "x.....x.....x... |....x...x......."},
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"open hat",         "..o...o...o...o. |..o...o...o...o."},
        {"shaker",           "gggggggggggggggg |gggggggggggggggg"},
    }},
    // The same clave started from its two side (2, 3 | 1, "&" of 2, 4).
    {"son_clave_23", 2, 0.0, {
        {"clave",            "....x...x....... |x.....x.....x..."},
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"open hat",         "..o...o...o...o. |..o...o...o...o."},
        {"shaker",           "gggggggggggggggg |gggggggggggggggg"},
    }},
    // Kick on every beat, bass on the three sixteenths after each kick (K-B-B-B); the last beat of
    // bar 2 drops the bass to leave a gap.
    {"psy_rolling", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"bass",             ".ooo.ooo.ooo.ooo |.ooo.ooo.ooo...."},
        {"open hat",         "..o...o...o...o. |..o...o...o...o."},
    }},
    // Bar 1: single offbeat bass note per beat; bar 2 doubles it to the "&" and "a", a denser
    // answer with the kick left alone on the beat.
    {"psy_offbeat", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"bass",             "..o...o...o...o. |..oo..oo..oo..oo"},
        {"open hat",         "..o...o...o...o. |..o...o...o...o."},
    }},
    // ~150 BPM: each kick is followed by a bass note starting on the "&" that swells into the next
    // kick; at the end of bar 2 the cue is held back to the last sixteenth.
    {"hard_reverse", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"clap",             "....x.......x... |....x.......x..."},
        {"bass",             "..o...o...o...o. |..o...o...o....o"},
    }},
    // Kick on 1 and 3, snare/clap on 2 and 4; rim, toms and cowbell answer each other in the gaps
    // (cowbell 3+3+2 at the start of each bar).
    {"italo_machine", 2, 0.0, {
        {"kick",             "x.......x....... |x.......x......."},
        {"snare",            "....x.......x... |....x.......x..."},
        {"rim",              "...oo...o..o.... |...oo...o..o...."},
        {"tom",              ".o....o...o..... |.o....o...o....."},
        {"high tom",         "............oo.. |............oo.."},
        {"cowbell",          "o..o..o.o....... |o..o..o.o.o.oo.."},
        {"hat",              "ogogogogogogogog |ogogogogogogogog"},
    }},
    // Asymmetric kick placements (the "&"/"a" of 3 and "e" of 4) that differ between the bars
    // against a rigid snare on 2 and 4.
    {"electro_robot", 2, 0.0, {
        {"kick",             "x.........x..x.. |x..........x.x.."},
        {"snare",            "....x.......x... |....x.......x..."},
        {"hat",              "o.oo.oo.o.oo.oo. |o.oo.oo.o.oo.oo."},
    }},
    // Four-floor kick and quiet sixteenth hats accented on every "&"; a percussion line in threes
    // drifts against the grid and resets in bar 2.
    {"acid_percussion", 2, 0.1, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"clap",             "....o.......o... |....o.......o..."},
        {"hat",              "ggxgggxgggxgggxg |ggxgggxgggxgggxg"},
        {"perc",             "...o..o..o..o... |o..o..o...o..o.."},
    }},
    // Each kick is answered one and two sixteenths later by a low rumble (a delayed, reverberant
    // bass echo); bar 2 shifts the last answer late.
    {"techno_rumble", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"rumble",           ".go..go..go..go. |.go..go..go..g.o"},
        {"hat",              "..o...o...o...o. |..o...o...o...o."},
    }},
    // Two-step kick and clap with the rim leading: rims on off-sixteenths (the "e" and "a"), so
    // the heavy swing moves all of them into the pocket.
    {"ukg_rim_shuffle", 2, 0.24, {
        {"kick",             "x.........x..... |x..o......x....."},
        {"clap",             "....x.......x... |....x.......x..."},
        {"rim",              ".o.....o.o...o.. |.o...o.o.....o.o"},
        {"hat",              "..o...o...o...o. |..o...o...o...o."},
    }},
    // A kick on the last sixteenth pushes into the downbeat; a ghost snare replies right after it;
    // bar 2 ends with a double pickup.
    {"dnb_push", 2, 0.0, {
        {"kick",             "x.........x....x |x.........x..o.o"},
        {"snare",            "....x..g....x... |.g..x.......x.g."},
        {"hat",              "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o."},
    }},
    // Bar 1 is a straight break (snare on 2 and 4); bar 2 switches the first snare early to the
    // "a" of 1 and adds one on beat 3, then returns.
    {"jungle_switchback", 2, 0.0, {
        {"kick",             "x.x.......x..... |x.x...x...x....."},
        {"snare",            "....x..g.g..x... |...x..g.x...x..g"},
        {"ride",             "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o."},
    }},
    // The log drum states a sparse figure in bar 1 and answers with a denser off-beat phrase in
    // bar 2, over an even kick and shaker.
    {"amapiano_answer", 2, 0.12, {
        {"kick",             "x...x...x...x... |x...x...x...x..."},
        {"shaker",           "ggogggogggogggog |ggogggogggogggog"},
        {"rim",              "....o.......o... |....o.......o..."},
        {"log drum",         "o.....o..o...... |..o..o..o.o...o."},
    }},
    // Slow (~95 BPM) and open: kick on 1 and 3 with a pickup on the "a" of 1; the snare only
    // replies on the "&" of 2 and 4; quarter-note hats.
    {"dancehall_space", 2, 0.0, {
        {"kick",             "x..o....x....... |x..o....x..o...."},
        {"snare",            "......x.......x. |......x.......x."},
        {"hat",              "o...o...o...o... |o...o...o...o..."},
    }},
    // Dembow (quarter kick, 3+3+2 snare) whose second bar ends with a snare double on the "e" and
    // "&" of 4 and a kick pickup on the last sixteenth.
    {"dembow_push", 2, 0.0, {
        {"kick",             "x...x...x...x... |x...x...x...x..o"},
        {"snare",            "...x..x....x..x. |...x..x....x.xx."},
        {"hat",              "o.o.o.o.o.o.o.o. |o.o.o.o.o.o.o.o."},
    }},
    };
    return scores;
}

const Score& score_of(std::string_view key) {
    for (const Score& score : beat_scores()) {
        if (score.key == key) return score;
    }
    throw std::invalid_argument("no score for the beat style " + std::string(key));
}

}  // namespace gen::beat
