"""The env_, seq_, noise_, gesture_, spline_ and tour_ families: their records,
and what each family's motion promises (silent x and rests for envelopes,
holds and segment timing for sequences, hashed controls for noise, controls
on the curve for splines, star-order vertex visits for tours)."""

import hashlib
import math

import pytest

import kinetrope
from exact import hexes

CATALOGUE = kinetrope.catalogue()
ENTRIES = {e["name"]: e for e in CATALOGUE}
NAMES = [e["name"] for e in CATALOGUE]

ENV_LABELS = [
    ("lift_hold_drop", "Lift, hold, settle"),
    ("inhale_exhale", "Long inhale, short exhale"),
    ("triple_swell", "Three unequal swells"),
    ("rising_echo", "Rising echo ladder"),
    ("falling_echo", "Falling echo ladder"),
    ("anticipation", "Backward anticipation"),
    ("plateau_scoop", "Plateau then scoop"),
    ("hesitant", "Hesitant reach"),
    ("double_hold", "Two-height hold"),
    ("swell_recoil", "Deep swell and recoil"),
    ("late_release", "Late release"),
    ("split_attack", "Split attack"),
    ("suspended", "Suspended answer"),
    ("valley_peaks", "Valley between peaks"),
    ("four_breaths", "Four breathing accents"),
    ("return_stair", "Stepped soft recovery"),
]
SEQ_SHAPES = ["up_down", "pendulum", "octave", "unequal", "question", "answer", "ratchet", "stairs"]
NOISE_KINDS = [
    ("drift", (5, 7, 9, 11)),
    ("orbit", (6, 8, 10, 12)),
    ("ripple", (5, 7, 9, 11)),
    ("depth", (6, 8, 10, 12)),
]
GESTURE_PHRASES = [
    ("side_reach", "side reach"),
    ("cross_reach", "cross and reach"),
    ("low_scoop", "low scoop"),
    ("high_arc", "high arc"),
    ("corner_taps", "corner taps"),
    ("diagonal_touch", "diagonal touch"),
    ("box_return", "box and centre"),
    ("zigzag_lift", "zigzag lift"),
    ("duck_sway", "duck and sway"),
    ("push_pull", "push and pull"),
    ("reach_depth", "reach through depth"),
    ("bow_turn", "bow and turn"),
    ("heel_toe", "heel-toe abstract"),
    ("hop_answer", "hop and answer"),
    ("spiral_reach", "spiral reach"),
    ("diamond_depth", "depth diamond"),
]
GESTURES_IN_DEPTH = {"push_pull", "reach_depth", "bow_turn", "spiral_reach", "diamond_depth"}
SPLINE_FLAT = ["kite", "hourglass", "hook", "crown", "bow", "crooked_cross", "asymmetric_star", "scoop"]
SPLINE_DEEP = [
    "rising_kite", "twisted_bow", "cup", "bridge", "double_bay", "slanted_loop", "fork", "folded_crown",
]
TOURS_FLAT = [(5, 2), (7, 2), (7, 3), (8, 3), (9, 2), (9, 4), (10, 3), (11, 2)]
TOURS_DEEP = [(11, 3), (11, 4), (12, 5), (13, 2), (13, 3), (13, 4), (13, 5), (14, 3)]


def expected_records():
    """(record number, name, period, dimensions, description), rule by rule."""
    records = []

    def family(first, members):
        records.extend((first + i, *m) for i, m in enumerate(members))

    family(68, [(f"env_{s}", 512, 2, f"{label} over an eight-beat phrase; smooth, resting joins.")
                for s, label in ENV_LABELS])
    family(84, [(f"seq_{shape}_{timing}", 512, 2,
                 f"A programmed position sequence with {timing} segment durations and softened transitions.")
                for shape in SEQ_SHAPES for timing in ("even", "lilt")])
    family(100, [(f"noise_{kind}_{n}", 1024, 3 if kind == "depth" else 2,
                  f"Indexed SHA-256 control points in a closed {kind} path. No mutable random state.")
                 for kind, counts in NOISE_KINDS for n in counts])
    family(292, [(f"gesture_{s}", 512, 3 if s in GESTURES_IN_DEPTH else 2,
                  f"An original single-point {phrase} gesture. Abstract motion, not a full-body dance "
                  "or biomechanical recording.")
                 for s, phrase in GESTURE_PHRASES])
    family(356, [(f"spline_{s}", 512, 2 if s in SPLINE_FLAT else 3,
                  "Periodic cubic tangents connect asymmetrical controls with unequal segment times.")
                 for s in SPLINE_FLAT + SPLINE_DEEP])
    family(372, [(f"tour_{n}_{k}", 1024, 2 if (n, k) in TOURS_FLAT else 3,
                  "A noncircular vertex tour with eased corners and alternating dwell lengths.")
                 for n, k in TOURS_FLAT + TOURS_DEEP])
    return records


RECORDS = expected_records()


def rows(name):
    return [kinetrope.sample(name, p).as_tuple() for p in range(ENTRIES[name]["period_pips"])]


def family_names(prefix):
    return [r[1] for r in RECORDS if r[1].startswith(prefix)]


# ---- records ---------------------------------------------------------------


@pytest.mark.parametrize(
    "record, name, period, dimensions, description", RECORDS, ids=[r[1] for r in RECORDS]
)
def test_record_fields(record, name, period, dimensions, description):
    entry = ENTRIES[name]
    assert (entry["period_pips"], entry["dimensions"]) == (period, dimensions)
    assert entry["description"].encode() == description.encode()


@pytest.mark.parametrize(
    "first, last", [(68, 115), (292, 307), (356, 387)], ids=["env-seq-noise", "gesture", "spline-tour"]
)
def test_records_follow_one_another_in_table_order(first, last):
    block = [r[1] for r in RECORDS if first <= r[0] <= last]
    start = NAMES.index(block[0])
    assert NAMES[start:start + len(block)] == block


def test_records_sit_at_their_record_numbers():
    assert [(NAMES.index(name) - 15) for _, name, *_ in RECORDS] == [r[0] for r in RECORDS]


# ---- env_ ------------------------------------------------------------------


@pytest.mark.parametrize("name", family_names("env_"))
def test_envelope_moves_y_only_and_rests_at_the_seam(name):
    block = rows(name)
    zero = (0.0).hex()
    assert all(hexes(r)[0] == zero and hexes(r)[2] == zero for r in block)
    assert hexes(block[0]) == (zero, zero, zero)
    # The envelope has settled well before the loop restarts.
    assert all(hexes(r)[1] == zero for r in block[-16:])
    assert max(abs(r[1]) for r in block) > 0.3


# ---- seq_ ------------------------------------------------------------------


def holds(block, shortest):
    """(start, length, position) of every run of at least `shortest` equal
    consecutive rows (the loop is built so that none wraps across the seam)."""
    assert block[-1] != block[0]
    runs, start = [], 0
    for p in range(1, len(block) + 1):
        if p == len(block) or block[p] != block[start]:
            if p - start >= shortest:
                runs.append((start, p - start, block[start]))
            start = p
    return runs


def seam_bend_ratio(block):
    """Second difference at the seam over the largest one inside the loop: a
    kink (a jump in speed) at the seam makes it far larger than 1."""
    n = len(block)
    bend = [max(abs(block[(p + 1) % n][a] - 2 * block[p][a] + block[p - 1][a]) for a in range(3))
            for p in range(n)]
    return bend[0] / max(bend[1:])


def cyclic_gaps(starts, period):
    return [(starts[(i + 1) % len(starts)] - starts[i]) % period for i in range(len(starts))]


@pytest.mark.parametrize("shape", SEQ_SHAPES)
def test_sequence_holds_its_targets_with_even_or_lilting_segments(shape):
    even, lilt = rows(f"seq_{shape}_even"), rows(f"seq_{shape}_lilt")
    even_holds, lilt_holds = holds(even, 8), holds(lilt, 8)
    # Both timings play the same programmed targets in the same order.
    assert len(even_holds) == 8
    assert [h[2] for h in even_holds] == [h[2] for h in lilt_holds]
    even_gaps = cyclic_gaps([h[0] for h in even_holds], 512)
    lilt_gaps = cyclic_gaps([h[0] for h in lilt_holds], 512)
    assert len(set(even_gaps)) == 1
    assert len(set(lilt_gaps[0::2])) == 1 and len(set(lilt_gaps[1::2])) == 1
    assert lilt_gaps[0] > lilt_gaps[1]
    # The point also leaves its targets long-short, not on the even grid.
    departures = cyclic_gaps([start + length for start, length, _ in lilt_holds], 512)
    assert min(departures[0::2]) > 1.5 * max(departures[1::2]) or \
        min(departures[1::2]) > 1.5 * max(departures[0::2])


@pytest.mark.parametrize("name", [f"seq_{s}_{t}" for s in SEQ_SHAPES for t in ("even", "lilt")])
def test_sequence_transitions_leave_each_hold_softly(name):
    block = rows(name)
    steps = [max(abs(a - b) for a, b in zip(block[p], block[p - 1])) for p in range(len(block))]
    for start, length, _ in holds(block, 8):
        leave = (start + length) % len(block)
        assert steps[leave] < 0.1 * max(steps)


# ---- noise_ ----------------------------------------------------------------


def hashed_unit(key):
    bits = int.from_bytes(hashlib.sha256(key.encode()).digest()[:8], "big")
    return 2.0 * ((bits >> 11) * 2.0**-53) - 1.0


def noise_controls(name):
    """(knot pip, expected point) of the controls of a noise_ pattern."""
    kind, n = name.split("_")[1], int(name.split("_")[2])

    def u(i, channel):
        return hashed_unit(f"{name}/{i}/{channel}")

    if kind in ("drift", "depth"):
        return [(1024 * i // n,
                 (0.72 * u(i, "x"), 0.72 * u(i, "y"), 0.72 * u(i, "z") if kind == "depth" else 0.0))
                for i in range(n)]
    if kind == "orbit":
        points = []
        for i in range(n):
            r, a = 0.56 + 0.16 * u(i, "r"), 2 * math.pi * (i + 0.3 * u(i, "a")) / n
            points.append((1024 * i // n, (r * math.cos(a), r * math.sin(a), 0.0)))
        return points
    # ripple: n crests and n troughs of the radius, each knot moved from its
    # even place by up to a quarter of its share of the loop.
    points = []
    share = 1024 / (2 * n)
    for j in range(2 * n):
        depth = 0.15 + 0.07 * u(j, "r")
        factor = 1 + depth if j % 2 == 0 else 1 - depth
        pip = 1024 * j // (2 * n) + (round(0.25 * share * u(j, "t")) if j else 0)
        t = 2 * math.pi * pip / 1024
        points.append((pip, (0.66 * factor * math.cos(t), 0.5 * factor * math.sin(t), 0.0)))
    return points


@pytest.mark.parametrize("name", family_names("noise_"))
def test_noise_passes_through_its_hashed_controls(name):
    block = rows(name)
    for pip, point in noise_controls(name):
        if name.startswith(("noise_drift", "noise_depth")):
            assert hexes(block[pip]) == hexes(tuple(round(v, 12) for v in point)), pip
        else:
            assert all(abs(s - round(v, 12)) <= 1.5e-12 for s, v in zip(block[pip], point)), pip


@pytest.mark.parametrize("n", (5, 7, 9, 11))
def test_noise_ripple_draws_its_count_of_ripples(n):
    # The ellipse's radius swells n times round the loop, by a visible amount.
    radius = [math.hypot(x / 0.66, y / 0.5) for x, y, _ in rows(f"noise_ripple_{n}")]
    crests = [p for p in range(1024) if radius[p - 1] < radius[p] >= radius[(p + 1) % 1024]]
    assert len(crests) == n
    assert max(radius) - min(radius) > 0.25


@pytest.mark.parametrize("name", family_names("noise_"))
def test_noise_closes_without_a_kink(name):
    assert seam_bend_ratio(rows(name)) <= 1.5


# ---- spline_ ---------------------------------------------------------------

# Controls and the relative times of the segments that leave them.
SPLINE_CONTROLS = {
    "spline_crown": [((-0.7, -0.6, 0), 1.6), ((0.72, -0.58, 0), 0.9), ((0.8, 0.62, 0), 0.8),
                     ((0.4, 0.05, 0), 0.7), ((0.05, 0.92, 0), 0.8), ((-0.35, 0.12, 0), 0.7),
                     ((-0.76, 0.55, 0), 1.0)],
    "spline_bridge": [((-0.82, -0.62, 0.45), 0.9), ((-0.55, 0.35, 0.45), 0.8), ((0.0, 0.72, 0.42), 1.0),
                      ((0.55, 0.38, 0.4), 0.8), ((0.8, -0.6, 0.45), 1.3), ((0.78, -0.58, -0.45), 1.0),
                      ((0.35, 0.2, -0.5), 1.2), ((-0.3, 0.25, -0.5), 1.0), ((-0.8, -0.55, -0.4), 1.1)],
}


def closed_catmull_rom(controls, period):
    """Cubic Hermite through the controls, tangent at each control the slope
    between its neighbours, knots at the rounded running sums of the times."""
    total = sum(w for _, w in controls)
    knots, elapsed = [], 0.0
    for _, w in controls:
        knots.append(math.floor(period * elapsed / total + 0.5))
        elapsed += w
    points = [c for c, _ in controls]
    n = len(points)

    def time(i):
        return knots[i % n] + period * (i // n)

    def tangent(i):
        dt = time(i + 1) - time(i - 1)
        return [(points[(i + 1) % n][a] - points[(i - 1) % n][a]) / dt for a in range(3)]

    out = []
    for p in range(period):
        i = max(j for j in range(n) if knots[j] <= p)
        h = time(i + 1) - time(i)
        s = (p - time(i)) / h
        m0, m1 = tangent(i), tangent(i + 1)
        p0, p1 = points[i], points[(i + 1) % n]
        out.append(tuple(
            (2 * s**3 - 3 * s**2 + 1) * p0[a] + (s**3 - 2 * s**2 + s) * h * m0[a]
            + (-2 * s**3 + 3 * s**2) * p1[a] + (s**3 - s**2) * h * m1[a]
            for a in range(3)))
    return out, knots


@pytest.mark.parametrize("name", sorted(SPLINE_CONTROLS))
def test_spline_runs_through_its_controls_at_its_knots(name):
    block = rows(name)
    expected, knots = closed_catmull_rom(SPLINE_CONTROLS[name], 512)
    assert len(set(b - a for a, b in zip(knots, knots[1:]))) > 1  # unequal segment times
    for knot, (point, _) in zip(knots, SPLINE_CONTROLS[name]):
        assert hexes(block[knot]) == hexes(tuple(float(v) for v in point))
    worst = max(abs(s - e) for row, exp in zip(block, expected) for s, e in zip(row, exp))
    assert worst <= 2e-12


@pytest.mark.parametrize("name", family_names("spline_"))
def test_spline_closes_without_a_kink(name):
    assert seam_bend_ratio(rows(name)) <= 1.5


def turn_degrees(block):
    """The change of direction at every pip, in degrees."""
    n = len(block)
    moves = [[block[(p + 1) % n][a] - block[p][a] for a in range(3)] for p in range(n)]
    turns = []
    for u, v in zip(moves, moves[1:] + moves[:1]):
        cross = math.hypot(u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
        turns.append(math.degrees(math.atan2(cross, sum(a * b for a, b in zip(u, v)))))
    return turns


@pytest.mark.parametrize("name", family_names("spline_"))
def test_spline_curves_instead_of_running_straight(name):
    # Cubic tangents through the controls bend the path nearly everywhere; a
    # figure that keeps its direction for long stretches reads as a polygon.
    straight = sum(1 for t in turn_degrees(rows(name)) if t < 0.2)
    assert straight < 0.4 * 512


# ---- tour_ -----------------------------------------------------------------


@pytest.mark.parametrize("n, k", TOURS_FLAT + TOURS_DEEP, ids=lambda v: str(v))
def test_tour_visits_every_vertex_in_star_order_with_alternating_dwells(n, k):
    block = rows(f"tour_{n}_{k}")
    dwells = holds(block, 4)
    positions = [d[2] for d in dwells]
    assert len(dwells) == n and len(set(positions)) == n
    # Rank the vertices by their angle round the centre: each move steps k on.
    by_angle = sorted(positions, key=lambda v: math.atan2(v[1], v[0]))
    rank = [by_angle.index(v) for v in positions]
    steps = {(rank[(m + 1) % n] - rank[m]) % n for m in range(n)}
    assert steps in ({k}, {n - k})
    # Long and short dwells alternate from the first visit on.
    lengths = [d[1] for d in dwells]
    assert min(lengths[0::2]) > max(lengths[1::2])
    # The vertices lie on no circle.
    radii = [math.hypot(v[0], v[1]) for v in positions]
    assert max(radii) - min(radii) > 0.1
