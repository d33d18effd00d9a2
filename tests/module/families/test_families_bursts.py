"""The score-driven families packet_, accent_walk_, triplet_, dialogue_ and
burst_: their records, and what each family's description promises about its
motion, checked on the rows read back through the module."""

import itertools

import pytest

import kinetrope

CATALOGUE = kinetrope.catalogue()
ENTRIES = {e["name"]: e for e in CATALOGUE}
TRIPLET = 64 / 3

# ---- the family rules, restated --------------------------------------------

PACKET_DESCRIPTION = (
    "Compact, smooth-edged oscillation packets arranged around a closed phrase, with shaped side motion."
)
ACCENT_WALK_DESCRIPTION = (
    "A four-bar grid keeps its pulse spacing while a two-accent motif migrates between bars."
)
TRIPLET_DESCRIPTION = (
    "Triplet-grid gestures with deliberate omissions; gaps either answer off-grid or rotate after four beats."
)
DIALOGUE_DESCRIPTION = (
    "Different eighth-note group lengths pass a phrase between directions, with late pickup responses."
)
BURST_DESCRIPTION = "Three unevenly subdivided directional bursts, deliberate gaps and a late settling accent."

PACKET_ARRANGEMENTS = ["alternating", "cascading", "crossing", "depth"]
PACKETS = [(arrangement, n) for n in (2, 3, 4, 5) for arrangement in PACKET_ARRANGEMENTS]
ACCENT_WALKS = [(5, 1), (5, 2), (7, 1), (7, 2), (7, 3), (8, 1), (8, 3), (9, 1),
                (9, 2), (9, 4), (10, 3), (11, 2), (11, 3), (12, 5), (13, 3), (13, 5)]
TRIPLETS = [(f"{nn:02d}", ending) for nn in range(1, 9) for ending in ("answer", "turnaround")]
DIALOGUES = [(3, 4, 5), (5, 3, 4), (3, 5, 2), (2, 5, 4), (4, 3, 2), (3, 2, 4, 5), (5, 2, 3, 4),
             (2, 3, 5, 3), (3, 4, 3, 5), (5, 4, 2, 3), (2, 4, 5, 2), (4, 5, 3, 2), (3, 5, 4, 3),
             (5, 3, 2, 5), (2, 5, 3, 5), (4, 3, 5, 4)]
BURSTS = [(3, 5, 2), (4, 3, 6), (5, 2, 4), (2, 7, 3), (3, 4, 5), (5, 3, 7), (6, 2, 5), (4, 7, 2),
          (7, 3, 4), (2, 5, 6), (5, 7, 3), (3, 6, 4), (4, 5, 7), (6, 3, 5), (7, 4, 3), (5, 6, 2)]


def joined(*parts):
    return "_".join(str(p) for p in parts)


# Record number of the first member, then (name, period, dimensions, description) in order.
FAMILIES = {
    "packet_": (484, [(f"packet_{a}_{n}", 512, 3 if a == "depth" else 2, PACKET_DESCRIPTION)
                      for a, n in PACKETS]),
    "accent_walk_": (564, [(f"accent_walk_{n}_{k}", 1024, 3, ACCENT_WALK_DESCRIPTION)
                           for n, k in ACCENT_WALKS]),
    "triplet_": (580, [(f"triplet_{nn}_{ending}", 512, 3, TRIPLET_DESCRIPTION) for nn, ending in TRIPLETS]),
    "dialogue_": (596, [("dialogue_" + joined(*g), 32 * sum(g), 3, DIALOGUE_DESCRIPTION) for g in DIALOGUES]),
    "burst_": (612, [("burst_" + joined(*c), 512, 3, BURST_DESCRIPTION) for c in BURSTS]),
}


def rows(name):
    entry = ENTRIES[name]
    return [kinetrope.sample(name, p).as_tuple() for p in range(entry["period_pips"])]


def lane(block, axis):
    return [row[axis] for row in block]


def extrema(values, threshold):
    """Pips where |value| is a local maximum around the loop, above the threshold."""
    n = len(values)
    found = []
    for p in range(n):
        here, before, after = abs(values[p]), abs(values[p - 1]), abs(values[(p + 1) % n])
        if here > threshold and here >= before and here >= after and (here > before or here > after):
            found.append(p)
    return found


def runs_of_motion(block):
    """Maximal runs of rows (around the loop) that differ from the resting row
    (0, 0, 0), as lists of pips starting with the run that holds pip 0 or the
    first after it."""
    moving = [row != (0.0, 0.0, 0.0) for row in block]
    assert not all(moving), "never at rest"
    n = len(block)
    start = next(p for p in range(n) if not moving[p])  # a still pip
    runs, current = [], []
    for p in itertools.chain(range(start + 1, n), range(start + 1)):
        if moving[p]:
            current.append(p)
        elif current:
            runs.append(current)
            current = []
    if current:
        runs.append(current)
    runs.sort(key=lambda r: (0 not in r, r[0]))
    return runs


# ---- records ------------------------------------------------------------------


@pytest.mark.parametrize("prefix", FAMILIES)
def test_records_follow_the_family_rule(prefix):
    _, expected = FAMILIES[prefix]
    members = [e for e in CATALOGUE if e["name"].startswith(prefix)]
    got = [(e["name"], e["period_pips"], e["dimensions"], e["description"]) for e in members]
    assert got == expected
    # one contiguous block in table order
    first = CATALOGUE.index(members[0])
    assert CATALOGUE[first:first + len(expected)] == members


def test_accent_walk_to_burst_are_one_run_in_table_order():
    names = [e["name"] for e in CATALOGUE]
    start = names.index("accent_walk_5_1")
    families = ("accent_walk_", "triplet_", "dialogue_", "burst_")
    expected = [r[0] for prefix in families for r in FAMILIES[prefix][1]]
    assert names[start:start + 64] == expected


@pytest.mark.parametrize("prefix", FAMILIES)
def test_record_numbers(prefix):
    first, expected = FAMILIES[prefix]
    assert [e["name"] for e in CATALOGUE[15 + first:15 + first + 16]] == [r[0] for r in expected]


@pytest.mark.parametrize("name, period", [("dialogue_3_4_5", 384), ("dialogue_4_3_2", 288),
                                          ("dialogue_4_3_5_4", 512)])
def test_dialogue_periods_named_in_the_rule(name, period):
    assert ENTRIES[name]["period_pips"] == period


# ---- accent_walk_: a steady grid, a walking pair of accents ------------------


@pytest.mark.parametrize("n, k", ACCENT_WALKS, ids=[f"{n}_{k}" for n, k in ACCENT_WALKS])
def test_accent_walk_grid_stays_and_the_motif_walks(n, k):
    block = rows(f"accent_walk_{n}_{k}")
    # the grid lane: the axis whose peaks mark every pulse
    peaks_by_axis = {a: extrema(lane(block, a), 0.1) for a in range(3)}
    axis = max(peaks_by_axis, key=lambda a: len(peaks_by_axis[a]))
    pulses = peaks_by_axis[axis]
    assert len(pulses) == 4 * n
    bars = [[p - 256 * b for p in pulses if 256 * b <= p < 256 * (b + 1)] for b in range(4)]
    # the same spacing in all four bars, n pulses evenly spread over the bar
    assert all(bar == bars[0] for bar in bars)
    assert all(abs(offset - i * 256 / n) <= 0.5 for i, offset in enumerate(bars[0]))

    heights = [abs(block[p][axis]) for p in pulses]
    motif_positions = []
    for b in range(4):
        bar_heights = heights[b * n:(b + 1) * n]
        order = sorted(range(n), key=lambda i: -bar_heights[i])
        first, second, third = order[:3]
        # two accents stand clearly above the rest of the bar
        assert bar_heights[second] >= 2 * bar_heights[third]
        assert (second - first) % n in (k, n - k)
        motif_positions.append(frozenset((first, second)))
        # the accents move the point on the other two axes as well
        for i in (first, second):
            assert all(block[pulses[b * n + i]][a] != 0.0 for a in range(3))
    assert len(set(motif_positions)) == 4


# ---- triplet_: a triplet grid with gaps ------------------------------------------


def triplet_slot(pip):
    """The triplet slot whose nearest pip this is, or None when off the grid."""
    slot = round(pip / TRIPLET)
    return slot % 24 if round(slot * TRIPLET) == pip else None


@pytest.mark.parametrize("nn, ending", TRIPLETS, ids=[f"{nn}_{e}" for nn, e in TRIPLETS])
def test_triplet_gestures_sit_on_the_grid_with_gaps(nn, ending):
    block = rows(f"triplet_{nn}_{ending}")
    # the swing lane: x carries a gesture on every played triplet
    swings = extrema(lane(block, 0), 0.3)
    slots = [triplet_slot(p) for p in swings]
    assert None not in slots
    played = set(slots)
    halves = [{s for s in played if s < 12}, {s - 12 for s in played if s >= 12}]
    assert all(0 < len(h) < 12 for h in halves), "each four beats leave something out"

    off_grid = [p for a in (1, 2) for p in extrema(lane(block, a), 0.3) if triplet_slot(p) is None]
    if ending == "turnaround":
        rotations = [r for r in range(1, 12) if {(s - r) % 12 for s in halves[0]} == halves[1]]
        assert rotations and halves[0] != halves[1]
        assert off_grid == []
    else:
        assert halves[0] == halves[1]
        # every gap is answered off the grid, and every answer sits in a gap
        gaps = [s for s in range(24) if s not in played]
        for s in gaps:
            before = max((t for t in range(s - 24, s) if t % 24 in played))
            after = min((t for t in range(s + 1, s + 25) if t % 24 in played))
            window = (before * TRIPLET, after * TRIPLET)
            assert any(window[0] < q < window[1] for p in off_grid for q in (p - 512, p, p + 512)), s
        for p in off_grid:
            assert int(p // TRIPLET) % 24 not in played or int(p // TRIPLET + 1) % 24 not in played


# ---- dialogue_: groups handed between directions ----------------------------------


@pytest.mark.parametrize("groups", DIALOGUES, ids=[joined(*g) for g in DIALOGUES])
def test_dialogue_groups_pass_between_directions(groups):
    block = rows("dialogue_" + joined(*groups))
    period = len(block)
    starts = [32 * sum(groups[:g]) for g in range(len(groups))]
    voices, accents = [], []
    for start in starts:
        strong = [a for a in range(3) if abs(block[start][a]) >= 0.8]
        assert len(strong) == 1, start
        voices.append(strong[0])
        accents.append(block[start][strong[0]])
    assert set(voices) == {0, 1, 2}
    assert all(voices[g] != voices[g - 1] for g in range(len(groups)))
    # the strong accents fall on the group starts and nowhere else
    strong_peaks = sorted(p for a in range(3) for p in extrema(lane(block, a), 0.8))
    assert strong_peaks == starts

    for g, (start, length) in enumerate(zip(starts, groups)):
        voice = voices[g]
        end = start + 32 * length
        events = [p for p in extrema(lane(block, voice), 0.15) if start <= p < end]
        # the group's eighths, then the late pickup handing the phrase on
        pickups = [p for p in events if p > end - 16]
        assert events[:length] == [start + 32 * i for i in range(length)]
        assert len(pickups) == 1 and events == events[:length] + pickups
        assert block[pickups[0]][voice] * accents[g] < 0
        assert voices[(g + 1) % len(groups)] != voice
    assert end == period


# ---- burst_: three bursts, gaps, a late settling accent ------------------------------


@pytest.mark.parametrize("counts", BURSTS, ids=[joined(*c) for c in BURSTS])
def test_bursts_are_subdivided_as_named(counts):
    block = rows("burst_" + joined(*counts))
    runs = runs_of_motion(block)  # separated by still gaps
    assert len(runs) == 4
    assert block[0] != (0.0, 0.0, 0.0)
    strength = [sum(v * v for v in row) ** 0.5 for row in block]
    peaks = extrema(strength, 0.1)
    per_run = [[p for p in peaks if p in run] for run in runs]
    assert [len(r) for r in per_run] == [*counts, 1]
    # the settling accent comes last, in the final quarter of the phrase
    assert per_run[3][0] >= 384 and runs[3][0] > runs[2][-1]
    # each burst pushes along one direction; the three directions differ
    directions = []
    for run_peaks in per_run[:3]:
        first = block[run_peaks[0]]
        for p in run_peaks[1:]:
            row = block[p]
            cross = [first[1] * row[2] - first[2] * row[1], first[2] * row[0] - first[0] * row[2],
                     first[0] * row[1] - first[1] * row[0]]
            assert max(abs(c) for c in cross) < 1e-9
        directions.append(max(range(3), key=lambda a: abs(first[a])))
    assert sorted(directions) == [0, 1, 2]


# ---- packet_: n packets with quiet joins --------------------------------------------


def oscillation_turns(values):
    steps = [b - a for a, b in zip(values, values[1:]) if b != a]
    return sum(1 for s, t in zip(steps, steps[1:]) if s * t < 0)


def mean_x(block, run):
    return sum(block[p][0] for p in run) / len(run)


ARRANGEMENT_SIDES = {
    # consecutive packets lean to opposite sides
    "alternating": lambda block, runs: all(
        mean_x(block, a) * mean_x(block, b) < 0 for a, b in zip(runs, runs[1:])),
    # each packet further along the side than the one before
    "cascading": lambda block, runs: all(
        mean_x(block, a) < mean_x(block, b) for a, b in zip(runs, runs[1:])),
    # every packet crosses the centre from one side to the other
    "crossing": lambda block, runs: all(
        min(block[p][0] for p in r) < -0.3 and max(block[p][0] for p in r) > 0.3 for r in runs),
    # the wobble goes through depth
    "depth": lambda block, runs: all(oscillation_turns([block[p][2] for p in r]) >= 6 for r in runs),
}


@pytest.mark.parametrize("arrangement, n", PACKETS, ids=[f"{a}_{n}" for a, n in PACKETS])
def test_packets_are_separated_by_quiet_joins(arrangement, n):
    block = rows(f"packet_{arrangement}_{n}")
    runs = runs_of_motion(block)
    assert len(runs) == n
    still = 512 - sum(len(r) for r in runs)
    assert still >= 16 * n
    for run in runs:
        # an oscillation inside, smooth edges at both ends
        assert max(oscillation_turns([block[p][a] for p in run]) for a in range(3)) >= 6
        for p in (run[0], run[-1]):
            assert max(abs(v) for v in block[p]) < 0.02
    assert ARRANGEMENT_SIDES[arrangement](block, runs)


@pytest.mark.parametrize("arrangement", PACKET_ARRANGEMENTS)
def test_faster_packets_wobble_less(arrangement):
    # The wobble is on y, or on z for the depth packets; its swing inside the
    # packet at the start of the loop shrinks as the count (and the wobble's
    # pace) grows.
    axis = 2 if arrangement == "depth" else 1
    swings = []
    for n in (2, 3, 4, 5):
        block = rows(f"packet_{arrangement}_{n}")
        first = runs_of_motion(block)[0]
        wobble = [block[p][axis] for p in first]
        swings.append(max(wobble) - min(wobble))
    assert all(a > b for a, b in zip(swings, swings[1:])), swings
