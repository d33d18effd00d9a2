"""Score-driven patterns: the rhythm_, rudiment_ and groove_ studies and the
euclid_, poly_ and swing_ families. Metadata is restated from the family rules;
the motion is read back as a score: the peaks of each lane must sit on the
onsets that the description promises, with the stated sides."""

import math

import pytest

import kinetrope
from exact import hexes

CATALOGUE = kinetrope.catalogue()
ENTRY = {e["name"]: e for e in CATALOGUE}
POSITION = {e["name"]: i for i, e in enumerate(CATALOGUE)}

# ---- metadata --------------------------------------------------------------

STICKING = (
    "Visual sticking study {}; equal triplet spacing over four beats. This is a movement "
    "interpretation, not a complete drum-performance notation."
)

# (record number, name, period, dimensions, description)
AUTHORED = [
    (8, "rhythm_euclid_3_8", 256, 2,
     "3 evenly distributed onsets on a 8-step grid. Alternating lateral gestures."),
    (9, "rhythm_euclid_5_12", 256, 2,
     "5 evenly distributed onsets on a 12-step grid. Alternating lateral gestures."),
    (10, "rhythm_three_two", 256, 2,
     "Three horizontal gestures interlock with two vertical gestures in one four-beat cycle."),
    (11, "rhythm_half_time", 256, 2,
     "A strong downbeat, snare-like accent on beat three, and smaller offbeat shuffles."),
    (12, "rudiment_double_paradiddle", 256, 2, STICKING.format("RLRLRR LRLRLL")),
    (13, "rudiment_paradiddle_diddle", 256, 2, STICKING.format("RLRRLL LRLLRR")),
    (14, "rudiment_six_stroke", 256, 2, STICKING.format("RLLRRL LRRLLR")),
    (15, "rudiment_flam_accent", 256, 2,
     "Opposite-hand grace gestures lead accented groups of three; deliberately expanded for "
     "visible motion."),
    (24, "groove_a_played", 512, 2,
     "Two-bar funk excerpt A (4\u201312 source beats), performed microtiming."),
    (25, "groove_a_grid", 512, 2,
     "Two-bar funk excerpt A (4\u201312 source beats), same hits quantised to sixteenths."),
    (26, "groove_b_played", 512, 2,
     "Two-bar funk excerpt B (36\u201344 source beats), performed microtiming."),
    (27, "groove_b_grid", 512, 2,
     "Two-bar funk excerpt B (36\u201344 source beats), same hits quantised to sixteenths."),
    (44, "rhythm_five_four", 512, 2,
     "5 lateral hits against four vertical hits per four beats; two bars preserve alternating "
     "directions."),
    (45, "rhythm_seven_four", 512, 2,
     "7 lateral hits against four vertical hits per four beats; two bars preserve alternating "
     "directions."),
    (46, "rhythm_euclid_7_16", 512, 2,
     "7 evenly distributed onsets on a sixteen-step grid, repeated with alternating sides over "
     "eight beats."),
    (47, "rhythm_euclid_5_16", 512, 2,
     "5 evenly distributed onsets on a sixteen-step grid, repeated with alternating sides over "
     "eight beats."),
    (48, "rhythm_swung_answer", 256, 2,
     "A two-to-one swung call on the right, answered on the left; four beats and eight "
     "peak-aligned gestures."),
    (49, "rhythm_group_332", 512, 2,
     "Groups of three, three, and two eighth notes. Six alternating accents make an eight-beat "
     "loop."),
    (50, "rhythm_group_223", 448, 2,
     "Two 7/8 bars grouped as 2+2+3 eighth notes: a seven-quarter-note loop, not forced into "
     "four beats."),
    (51, "rhythm_three_four_five", 512, 3,
     "Three X, four Y, and five Z gestures share an eight-beat phrase, with exact rational peak "
     "times."),
]

EUCLID_PAIRS = [(2, 5), (3, 7), (3, 10), (4, 9), (4, 11), (5, 9), (5, 11), (5, 13), (5, 14),
                (6, 13), (7, 12), (7, 15), (7, 17), (8, 19), (9, 20), (11, 24)]
POLY_PAIRS = [(2, 5), (2, 7), (2, 9), (3, 5), (3, 7), (3, 8), (3, 10), (4, 5), (4, 7), (4, 9),
              (5, 6), (5, 7), (5, 8), (5, 9), (6, 7), (7, 8)]
SWING_RATIOS = [(3, 5), (2, 3), (5, 7), (3, 4)]
SWING_KINDS = ["push", "answer", "skip", "shuffle"]


def family_records():
    """(first record number, [(name, period, dimensions, description)]) per family."""
    euclid = [
        (f"euclid_{k}_{n}", 32 * n, 2,
         "Evenly distributed accents with alternating sides; first onset is the phrase accent.")
        for k, n in EUCLID_PAIRS
    ]
    poly = [
        (f"poly_{a}_{b}", 512, 3,
         "Two independent pulse trains share an eight-beat boundary. Each right-lane gesture "
         "includes depth.")
        for a, b in POLY_PAIRS
    ]
    swing = [
        (f"swing_{kind}_{a}_{b}", 512, 2 if kind == "answer" else 3,
         f"Eight-beat {kind} score with offbeats at {a}/{b} of each beat; peaks follow the score.")
        for a, b in SWING_RATIOS
        for kind in SWING_KINDS
    ]
    return [(212, euclid), (228, poly), (260, swing)]


FAMILIES = family_records()
ALL_RECORDS = [(number, name, period, dims, text) for number, name, period, dims, text in AUTHORED]
for first, members in FAMILIES:
    ALL_RECORDS += [(first + i, *member) for i, member in enumerate(members)]


@pytest.mark.parametrize("number, name, period, dimensions, description", ALL_RECORDS,
                         ids=[r[1] for r in ALL_RECORDS])
def test_record_metadata(number, name, period, dimensions, description):
    entry = ENTRY[name]
    assert entry["period_pips"] == period
    assert entry["dimensions"] == dimensions
    assert entry["description"].encode("utf-8") == description.encode("utf-8")


@pytest.mark.parametrize("first, members", FAMILIES, ids=["euclid_", "poly_", "swing_"])
def test_family_members_follow_each_other_in_order(first, members):
    positions = [POSITION[name] for name, *_ in members]
    assert positions == list(range(positions[0], positions[0] + 16))


@pytest.mark.parametrize("number, name", [(r[0], r[1]) for r in ALL_RECORDS],
                         ids=[r[1] for r in ALL_RECORDS])
def test_record_number(number, name):
    assert CATALOGUE[15 + number]["name"] == name


# ---- reading a pattern back as a score ---------------------------------------


def lanes(name):
    period = ENTRY[name]["period_pips"]
    rows = [kinetrope.sample(name, p).as_tuple() for p in range(period)]
    return [[row[a] for row in rows] for a in range(3)]


def peaks(lane):
    """(pip, value) of every signed local extremum of a looping lane: a pip whose
    value is non-zero and further from zero than both neighbours (ties go to the
    earlier pip)."""
    n = len(lane)
    found = []
    for p, v in enumerate(lane):
        before, after = lane[p - 1], lane[(p + 1) % n]
        if v > 0 and v > before and v >= after or v < 0 and v < before and v <= after:
            found.append((p, v))
    return found


def cyclic_distance(a, b, period):
    d = abs(a - b) % period
    return min(d, period - d)


def assert_peaks_at(found, onsets, period):
    """One peak per onset, in order, each on the onset's pip or on an integer pip
    next to a fractional one."""
    assert len(found) == len(onsets), (found, onsets)
    for (pip, _), onset in zip(found, onsets):
        assert cyclic_distance(pip, onset, period) < 1, (pip, onset)


def sides(found):
    return [1 if v > 0 else -1 for _, v in found]


def alternating(count, first=1):
    return [first * (-1) ** i for i in range(count)]


# ---- Euclidean rhythms -------------------------------------------------------

# Euclidean rhythms as published, starting on an onset.
KNOWN_EUCLIDEAN = {
    (2, 5): "x.x..", (3, 7): "x.x.x..", (3, 8): "x..x..x.", (4, 9): "x.x.x.x..",
    (4, 11): "x..x..x..x.", (5, 9): "x.x.x.x.x", (5, 11): "x.x.x.x.x..",
    (5, 12): "x..x.x..x.x.", (5, 13): "x..x.x..x.x..", (5, 16): "x..x..x..x..x...",
    (7, 12): "x.xx.x.xx.x.", (7, 16): "x..x.x.x..x.x.x.", (11, 24): "x..x.x.x.x.x..x.x.x.x.x.",
}


def onset_steps_of(found, step_pips):
    steps = [p / step_pips for p, _ in found]
    assert all(abs(s - round(s)) * step_pips < 1 for s in steps), steps
    return [round(s) for s in steps]


def assert_maximally_even(steps, k, n):
    """Every run of m consecutive onsets spans floor or ceil of m n / k steps."""
    assert len(steps) == k and steps[0] == 0
    for m in range(1, k):
        spans = {(steps[(i + m) % k] - steps[i]) % n for i in range(k)}
        assert spans <= {m * n // k, -(-m * n // k)}, (m, spans)


@pytest.mark.parametrize("k, n", EUCLID_PAIRS, ids=[f"euclid_{k}_{n}" for k, n in EUCLID_PAIRS])
def test_euclid_strikes_fall_on_the_even_distribution(k, n):
    x, y, _ = lanes(f"euclid_{k}_{n}")
    found = peaks(x)
    steps = onset_steps_of(found, 32)
    assert_maximally_even(steps, k, n)
    if (k, n) in KNOWN_EUCLIDEAN:
        assert "".join("x" if s in steps else "." for s in range(n)) == KNOWN_EUCLIDEAN[(k, n)]
    assert sides(found) == alternating(k)
    # The phrase accent is the widest strike; every strike also dips.
    magnitudes = [abs(v) for _, v in found]
    assert magnitudes[0] > max(magnitudes[1:])
    assert all(y[p] < 0 for p, _ in found)


@pytest.mark.parametrize(
    "name, k, n, repeats",
    [("rhythm_euclid_3_8", 3, 8, 1), ("rhythm_euclid_5_12", 5, 12, 1),
     ("rhythm_euclid_7_16", 7, 16, 2), ("rhythm_euclid_5_16", 5, 16, 2)],
)
def test_euclid_studies_alternate_sides_onset_by_onset(name, k, n, repeats):
    period = ENTRY[name]["period_pips"]
    step_pips = period / (n * repeats)
    found = peaks(lanes(name)[0])
    pattern = KNOWN_EUCLIDEAN[(k, n)] * repeats
    onsets = [s * step_pips for s, c in enumerate(pattern) if c == "x"]
    assert_peaks_at(found, onsets, period)
    # Sides carry on across a repeat, so with k odd the second repeat opens on the left.
    assert sides(found) == alternating(k * repeats)


# ---- authored rhythm studies -------------------------------------------------


def group_starts(groups, bars):
    starts, eighth = [], 0
    for _ in range(bars):
        for g in groups:
            starts.append(32 * eighth)
            eighth += g
    return starts


# name, axis, expected onsets, expected sides
STUDY_LANES = [
    ("rhythm_three_two", 0, [0, 256 / 3, 512 / 3], [1, -1, 1]),
    ("rhythm_three_two", 1, [0, 128], [1, -1]),
    ("rhythm_five_four", 0, [256 * i / 5 for i in range(10)], alternating(10)),
    ("rhythm_five_four", 1, [64 * i for i in range(8)], alternating(8)),
    ("rhythm_seven_four", 0, [256 * i / 7 for i in range(14)], alternating(14)),
    ("rhythm_seven_four", 1, [64 * i for i in range(8)], alternating(8)),
    ("rhythm_swung_answer", 0, [64 * b + s for b in range(4) for s in (0, 128 / 3)],
     [1, 1, 1, 1, -1, -1, -1, -1]),
    ("rhythm_group_332", 0, group_starts([3, 3, 2], 2), alternating(6)),
    ("rhythm_group_223", 0, group_starts([2, 2, 3], 2), alternating(6)),
    ("rhythm_three_four_five", 0, [512 * i / 3 for i in range(3)], [1, -1, 1]),
    ("rhythm_three_four_five", 1, [128 * i for i in range(4)], alternating(4)),
    ("rhythm_three_four_five", 2, [512 * i / 5 for i in range(5)], [1, -1, 1, -1, 1]),
]


@pytest.mark.parametrize("name, axis, onsets, expected_sides", STUDY_LANES,
                         ids=[f"{r[0]}-{'xyz'[r[1]]}" for r in STUDY_LANES])
def test_study_peaks_follow_the_score(name, axis, onsets, expected_sides):
    found = peaks(lanes(name)[axis])
    assert_peaks_at(found, onsets, ENTRY[name]["period_pips"])
    assert sides(found) == expected_sides


@pytest.mark.parametrize("name, bars", [("rhythm_group_332", 2), ("rhythm_group_223", 2)])
def test_group_studies_accent_each_bar_start_most(name, bars):
    found = peaks(lanes(name)[0])
    per_bar = len(found) // bars
    for b in range(bars):
        bar = [abs(v) for _, v in found[b * per_bar:(b + 1) * per_bar]]
        assert bar[0] > max(bar[1:])


def test_half_time_downbeat_snare_and_shuffles():
    x, y, _ = lanes("rhythm_half_time")
    # The downbeat is the strongest moment of the loop.
    strongest = max(range(256), key=lambda p: max(abs(x[p]), abs(y[p])))
    assert strongest == 0 and y[0] < 0
    # Beat three: a lateral and vertical accent peaking together.
    assert (128, x[128]) in peaks(x) and (128, y[128]) in peaks(y)
    # Everything else on the lateral lane is a small swung offbeat shuffle.
    shuffles = [(p, v) for p, v in peaks(x) if p != 128]
    assert_peaks_at(shuffles, [64 * b + 128 / 3 for b in range(4)], 256)
    assert all(abs(v) < x[128] / 2 for _, v in shuffles)


@pytest.mark.parametrize("pip, expected", [(0, (0.74, -0.4, 0.0)),
                                           (-1, (0.732890553749, -0.396157056081, 0.0)),
                                           (447, (0.732890553749, -0.396157056081, 0.0))])
def test_group_223_stated_rows(pip, expected):
    assert hexes(kinetrope.sample("rhythm_group_223", pip)) == hexes(expected)


# ---- rudiments -----------------------------------------------------------------


@pytest.mark.parametrize(
    "name, sticking",
    [("rudiment_double_paradiddle", "RLRLRRLRLRLL"), ("rudiment_paradiddle_diddle", "RLRRLLLRLLRR"),
     ("rudiment_six_stroke", "RLLRRLLRRLLR")],
)
def test_rudiment_hands_follow_the_sticking(name, sticking):
    x, y, _ = lanes(name)
    found = peaks(x)
    assert_peaks_at(found, [64 * i / 3 for i in range(12)], 256)
    assert sides(found) == [1 if hand == "R" else -1 for hand in sticking]
    # Every stroke comes down to its hit.
    assert all(y[p] < 0 for p, _ in found)


def test_flam_accent_graces_lead_each_accent_from_the_other_hand():
    found = peaks(lanes("rudiment_flam_accent")[0])
    assert len(found) == 16
    accents = sorted(found, key=lambda pv: -abs(pv[1]))[:4]
    assert sorted(p for p, _ in accents) == [0, 64, 128, 192]
    assert [v > 0 for _, v in sorted(accents)] == [True, False, True, False]
    for pip, value in accents:
        index = found.index((pip, value))
        grace_pip, grace = found[index - 1]
        # The grace is the other hand, softer, and closer than a triplet eighth.
        assert grace * value < 0 and abs(grace) < abs(value)
        assert 0 < (pip - grace_pip) % 256 < 64 / 3


# ---- grooves -------------------------------------------------------------------


def match_played_to_grid(played, grid):
    """Pairs each grid peak with the played peak of the same value within a few pips."""
    assert len(played) == len(grid)
    shifts = []
    for pip, value in grid:
        near = [p for p, v in played if hexes([v]) == hexes([value])
                and cyclic_distance(p, pip, 512) <= 6]
        assert len(near) == 1, (pip, value, near)
        shifts.append(near[0] - pip)
    return shifts


@pytest.mark.parametrize("excerpt", ["a", "b"])
@pytest.mark.parametrize("axis", [0, 1], ids=["hats", "kick_snare"])
def test_groove_played_and_grid_are_the_same_hits(excerpt, axis):
    played = peaks(lanes(f"groove_{excerpt}_played")[axis])
    grid = peaks(lanes(f"groove_{excerpt}_grid")[axis])
    assert all(p % 16 == 0 for p, _ in grid)
    shifts = match_played_to_grid(played, grid)
    # Performed timing: hits land early and late by varying amounts.
    assert min(shifts) < 0 < max(shifts) and len(set(shifts)) > 2


@pytest.mark.parametrize("name", ["groove_a_played", "groove_a_grid", "groove_b_played",
                                  "groove_b_grid"])
def test_groove_backbeats_lift_highest_and_bar_downbeats_drop_deepest(name):
    found = peaks(lanes(name)[1])
    highest = [p for p, v in found if v == max(v for _, v in found)]
    deepest = [p for p, v in found if v == min(v for _, v in found)]
    # Snares on beats two and four of each bar, kicks on each bar's first beat
    # (as played, a few pips either side).
    assert len(highest) == 4 and len(deepest) == 2
    for pips, beats in ((highest, [64, 192, 320, 448]), (deepest, [0, 256])):
        assert all(min(cyclic_distance(p, b, 512) for b in beats) <= 6 for p in pips), pips


# ---- pulse trains and swing ----------------------------------------------------


@pytest.mark.parametrize("a, b", POLY_PAIRS, ids=[f"poly_{a}_{b}" for a, b in POLY_PAIRS])
def test_poly_two_pulse_trains_with_right_lane_depth(a, b):
    x, y, z = lanes(f"poly_{a}_{b}")
    right = [512 * i / b for i in range(b)]
    assert_peaks_at(peaks(x), right, 512)
    assert sides(peaks(x)) == [1] * b
    # Every right-lane gesture moves in depth, alternately forward and back.
    assert_peaks_at(peaks(z), right, 512)
    assert sides(peaks(z)) == alternating(b)
    assert_peaks_at(peaks(y), [512 * i / a for i in range(a)], 512)
    # Both trains are accented where they meet, on the boundary.
    for lane in (x, y, z):
        assert abs(lane[0]) == max(abs(v) for v in lane)


SWING_NAMES = [(kind, a, b) for a, b in SWING_RATIOS for kind in SWING_KINDS]


@pytest.mark.parametrize("kind, a, b", SWING_NAMES,
                         ids=[f"swing_{k}_{a}_{b}" for k, a, b in SWING_NAMES])
def test_swing_peaks_on_beats_and_offbeats_at_the_ratio(kind, a, b):
    name = f"swing_{kind}_{a}_{b}"
    offbeats = [64 * k + 64 * a / b for k in range(8)]
    score = [64 * k for k in range(8)] + offbeats
    found = [p for lane in lanes(name) for p, _ in peaks(lane)]
    # No peak off the score, and every offbeat is drawn.
    assert all(min(cyclic_distance(p, s, 512) for s in score) < 1 for p in found), found
    assert all(min(cyclic_distance(p, s, 512) for p in found) < 1 for s in offbeats)


@pytest.mark.parametrize("kind, a, b", SWING_NAMES,
                         ids=[f"swing_{k}_{a}_{b}" for k, a, b in SWING_NAMES])
def test_swing_second_half_answers_the_first(kind, a, b):
    # An eight-beat score, not a four-beat one played twice: the last four
    # beats move differently from the first four.
    x, y, z = lanes(f"swing_{kind}_{a}_{b}")
    apart = sum((l[p] - l[p + 256]) ** 2 for l in (x, y, z) for p in range(256)) / 256
    assert math.sqrt(apart) > 0.1


@pytest.mark.parametrize("a, b", SWING_RATIOS)
def test_swing_answer_trades_sides_between_beat_and_offbeat(a, b):
    found = peaks(lanes(f"swing_answer_{a}_{b}")[0])
    onsets = sorted([64 * k for k in range(8)] + [64 * k + 64 * a / b for k in range(8)])
    assert_peaks_at(found, onsets, 512)
    assert sides(found) == alternating(16)


def test_group_reaches_both_ends_of_the_value_range():
    names = [r[1] for r in ALL_RECORDS]
    values = [v for name in names for lane in lanes(name) for v in lane]
    assert max(values) == 1.0 and min(values) == -0.92
