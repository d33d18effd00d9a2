"""The curve families of the built-in table: wave_, orbit_harmonic_, weave_,
polar_, spiro_, space_, mech_ and silhouette_harmonic_.

Names, periods, dimensions and descriptions are written out here from the
family rules; the closed-form members are evaluated again in Python and
compared row by row; the members without a formula are checked for what their
labels promise."""

import math

import pytest

import kinetrope
from exact import hexes

CATALOGUE = kinetrope.catalogue()
POSITION = {e["name"]: i for i, e in enumerate(CATALOGUE)}
ENTRY = {e["name"]: e for e in CATALOGUE}


def rows(name):
    return [kinetrope.sample(name, p).as_tuple() for p in range(ENTRY[name]["period_pips"])]


# ---- metadata, restated from the family rules ----------------------------

WAVE_LABELS = [
    ("pinched", "Pinched sine"),
    ("shouldered", "Shouldered sine"),
    ("folded", "Folded sine"),
    ("double_fold", "Double-fold wave"),
    ("rounded_square", "Rounded square"),
    ("soft_rectifier", "Soft rectified swell"),
    ("skew_warp", "Phase-skew sweep"),
    ("scoop_warp", "Scooped return"),
    ("shelf_wave", "Shelf and scoop"),
    ("notched", "Notched crest"),
    ("bottle", "Bottle-neck swell"),
    ("reed", "Reed flutter"),
    ("unequal_peaks", "Unequal double crest"),
    ("ripple_return", "Rippled recovery"),
    ("soft_teeth", "Soft triple teeth"),
    ("warped_fold", "Warped wave fold"),
]

MECH_LABELS = [
    ("piston_short", "Short-rod piston"),
    ("piston_long", "Long-rod piston"),
    ("offset_crank", "Offset crank"),
    ("scotch_yoke", "Yoke with rocking linkage"),
    ("whitworth", "Quick-return linkage study"),
    ("elliptic_cam", "Elliptic cam follower"),
    ("two_lobe_cam", "Two-lobe cam follower"),
    ("three_lobe_cam", "Three-lobe cam follower"),
    ("escapement", "Soft escapement study"),
    ("paddle", "Paddle-wheel tip"),
    ("wobble_plate", "Wobble-plate trace"),
    ("rocking_beam", "Rocking beam"),
    ("coupled_cranks", "Coupled cranks"),
    ("crank_rocker", "Crank and rocker study"),
    ("piston_balance", "Piston and balance mass"),
    ("cam_return", "Cam rise and return"),
]
MECH_3D = {"wobble_plate", "crank_rocker", "piston_balance"}

WEAVE_PAIRS = [(1, 3), (1, 4), (1, 5), (2, 5), (2, 7), (3, 4), (3, 5), (3, 7),
               (3, 8), (4, 5), (4, 7), (4, 9), (5, 6), (5, 7), (5, 8), (5, 9)]
ROSE_PETALS = [3, 6, 7, 8, 9, 10, 11, 12]
SPIRO_PEN = {(3, 1): 0.45, (4, 1): 0.6, (5, 2): 1.5, (5, 1): 0.55,
             (7, 2): 1.3, (7, 3): 2.1, (8, 3): 1.8, (9, 4): 3.2}
TORUS_PAIRS = [(2, 5), (2, 7), (3, 4), (3, 5), (3, 7), (4, 5), (4, 7), (5, 6)]
SPACE_WEAVES = [(1, 2, 3), (1, 3, 4), (2, 3, 4), (2, 3, 7), (2, 5, 7), (3, 4, 5), (3, 5, 7), (4, 5, 7)]
ORBIT_DEPTH = [0.18, 0.22, 0.25, 0.28, 0.25, 0.2, 0.15, 0.13,
               0.34, 0.31, 0.29, 0.26, 0.23, 0.2, 0.17, 0.14]
SILHOUETTE = [  # f1, f2, f3, a2, a3
    (1, 2, 3, 0.2, 0.16), (1, 3, 5, 0.35, 0.12), (2, 3, 4, 0.3, 0.18), (2, 5, 7, 0.23, 0.16),
    (1, 4, 7, 0.35, 0.21), (3, 4, 5, 0.28, 0.14), (2, 7, 9, 0.19, 0.12), (3, 5, 8, 0.3, 0.17),
    (1, 2, 5, 0.4, 0.22), (1, 5, 8, 0.27, 0.24), (2, 3, 7, 0.34, 0.2), (3, 7, 10, 0.26, 0.16),
    (2, 4, 9, 0.33, 0.23), (3, 4, 9, 0.29, 0.25), (4, 5, 7, 0.25, 0.21), (4, 7, 11, 0.21, 0.16),
]


def expected_families():
    """(first record number, [(name, period, dimensions, description)]) per family."""
    wave = [(f"wave_{s}", 512, 1,
             f"{label}; a continuous shaped control wave, mapped to horizontal displacement.")
            for s, label in WAVE_LABELS]
    orbit = [(f"orbit_harmonic_{k:02d}", 512, 2,
              "An ellipse combined with unequal horizontal and vertical harmonic ripples.")
             for k in range(1, 17)]
    weave = [(f"weave_{a}_{b}", 1024, 2,
              f"{a} horizontal and {b} vertical cycles; a phase-offset, closed 16-beat traversal.")
             for a, b in WEAVE_PAIRS]
    polar = [(f"polar_rose_{n}", 1024, 2,
              "A complete signed-radius rose traversal; odd-petal roses use a half-turn parameter.")
             for n in ROSE_PETALS]
    polar += [(f"polar_scallop_{n}", 1024, 2,
               "A positive-radius scalloped loop; no centre crossings, with an asymmetrically bent lobe.")
              for n in range(2, 10)]
    spiro = [(f"spiro_{side}_{R}_{r}", 1024, 2,
              f"A closed {side}-rolling circle trace, with pen radius smaller than the rolling radius.")
             for side in ("inside", "outside") for R, r in SPIRO_PEN]
    space = [(f"space_torus_{p}_{q}", 1024, 3,
              "A genuine XYZ closed torus-knot trajectory. The demo uses an oblique projection.")
             for p, q in TORUS_PAIRS]
    space += [(f"space_weave_{a}_{b}_{c}", 1024, 3,
               "Three coprime-frequency coordinate lanes with distinct phase offsets.")
              for a, b, c in SPACE_WEAVES]
    mech = [(f"mech_{s}", 512, 3 if s in MECH_3D else 2,
             f"{label}; an original kinematic-style position study, not an engineering simulation.")
            for s, label in MECH_LABELS]
    silhouette = [(f"silhouette_harmonic_{k:02d}", 1024, 3,
                   "Three unequal harmonic components, with cross-axis phases and a small linked "
                   "depth term.")
                  for k in range(1, 17)]
    return {"wave_": (52, wave), "orbit_harmonic_": (116, orbit), "weave_": (132, weave),
            "polar_": (148, polar), "spiro_": (164, spiro), "space_": (180, space),
            "mech_": (196, mech), "silhouette_harmonic_": (340, silhouette)}


FAMILIES = expected_families()
ALL_NAMES = [m[0] for _, members in FAMILIES.values() for m in members]


@pytest.mark.parametrize("family", FAMILIES, ids=str)
def test_family_records_in_table_order(family):
    _, members = FAMILIES[family]
    assert len(members) == 16 and len({m[0] for m in members}) == 16
    first = POSITION[members[0][0]]
    block = CATALOGUE[first:first + 16]
    got = [(e["name"], e["period_pips"], e["dimensions"], e["description"]) for e in block]
    assert got == members


def test_families_follow_each_other_in_table_order():
    starts = [POSITION[members[0][0]] for _, members in FAMILIES.values()]
    assert starts == sorted(starts)


def test_family_record_numbers():
    for first, members in FAMILIES.values():
        assert [e["name"] for e in CATALOGUE[15 + first:15 + first + 16]] == [m[0] for m in members]


# ---- closed formulas ------------------------------------------------------

def rose(n):
    def curve(t):
        theta = t / 2 if n % 2 else t
        r = 0.82 * math.cos((n if n % 2 else n / 2) * theta)
        return r * math.cos(theta), r * math.sin(theta), 0.0
    return curve


def spiro(inside, R, r):
    d = SPIRO_PEN[(R, r)]
    w = r // math.gcd(R, r)

    def curve(t):
        u = w * t
        if inside:
            return ((R - r) * math.cos(u) + d * math.cos((R - r) / r * u),
                    (R - r) * math.sin(u) - d * math.sin((R - r) / r * u), 0.0)
        return ((R + r) * math.cos(u) - d * math.cos((R + r) / r * u),
                (R + r) * math.sin(u) - d * math.sin((R + r) / r * u), 0.0)
    return curve


def orbit(k):
    j = k if k <= 8 else k - 8
    m = j + 1
    phi = 0.0 if k <= 8 else 0.5 + 0.3 * (j - 1)
    h = ORBIT_DEPTH[k - 1]
    return lambda t: (math.cos(t) + h * math.cos(m * t + phi),
                      0.72 * math.sin(t) - h * math.sin((m + 1) * t - phi), 0.0)


def silhouette(f1, f2, f3, a2, a3):
    return lambda t: (
        math.cos(f1 * t) + a2 * math.sin(f2 * t + 0.3) + a3 * math.cos(f3 * t),
        0.65 * math.sin(f1 * t + 0.2) + a3 * math.sin(f2 * t) - a2 * math.cos(f3 * t + 0.1),
        0.12 * math.sin((f1 + f2) * t) * math.sin(t))


def torus(p, q):
    return lambda t: ((0.58 + 0.2 * math.cos(q * t)) * math.cos(p * t),
                      (0.58 + 0.2 * math.cos(q * t)) * math.sin(p * t),
                      0.42 * math.sin(q * t))


def space_weave(a, b, c):
    return lambda t: (math.sin(a * t), 0.8 * math.sin(b * t + 0.4), 0.7 * math.cos(c * t + 0.7))


def lane(f):
    return lambda t: (f(t), 0.0, 0.0)


# name -> (curve, number of scaling points, or None when taken directly)
FORMULAS = {
    "wave_pinched": (lane(lambda t: 0.82 * math.sin(t) ** 3), None),
    "wave_shouldered": (lane(lambda t: math.sin(t) * (1 + 0.62 * math.cos(2 * t))), 512),
    "wave_folded": (lane(lambda t: math.sin(2.2 * math.sin(t))), 512),
    "wave_double_fold": (lane(lambda t: math.sin(3.8 * math.sin(t))), 512),
    "wave_rounded_square": (lane(lambda t: math.tanh(2 * math.sin(t))), 512),
    "wave_skew_warp": (lane(lambda t: math.sin(t + 0.7 * math.sin(t))), 512),
    "wave_notched": (lane(lambda t: math.sin(t) - 0.36 * math.sin(3 * t) + 0.12 * math.cos(5 * t)), 512),
    "wave_reed": (lane(lambda t: math.sin(t) * (0.85 + 0.4 * math.cos(7 * t))), 512),
    "wave_unequal_peaks": (lane(lambda t: 0.67 * math.sin(t) + 0.4 * math.sin(2 * t + 0.8)), 512),
    "wave_ripple_return": (lane(lambda t: math.sin(t) + 0.09 * math.sin(5 * t) * (1 + math.cos(t))), 512),
    "mech_piston_short": (lambda t: (0.82 * (math.cos(t) + math.sqrt(4 - math.sin(t) ** 2) - 2),
                                     0.246 * math.sin(t), 0.0), None),
    "mech_piston_long": (lambda t: (0.82 * (math.cos(t) + math.sqrt(16 - math.sin(t) ** 2) - 4),
                                    0.205 * math.sin(2 * t), 0.0), None),
    "mech_scotch_yoke": (lambda t: (0.82 * math.cos(t), 0.287 * math.sin(t) + 0.1476 * math.sin(3 * t),
                                    0.0), None),
    "mech_wobble_plate": (lambda t: (0.82 * math.cos(t), 0.287 * math.sin(t),
                                     0.41 * math.sin(2 * t + 0.3)), None),
    "mech_piston_balance": (lambda t: (0.82 * math.cos(t), 0.41 * math.sin(2 * t),
                                       0.205 * math.sin(t)), None),
    "mech_two_lobe_cam": (lambda t: (0.3 * math.sin(t), 0.2 * math.cos(t) + 0.55 * math.cos(2 * t), 0.0),
                          512),
    "mech_three_lobe_cam": (lambda t: (0.15 * math.sin(t), 0.12 * math.cos(t) + 0.6 * math.cos(3 * t),
                                       0.0), 512),
    "mech_paddle": (lambda t: (math.cos(t) + 0.23 * math.cos(4 * t), math.sin(t) + 0.23 * math.sin(4 * t),
                               0.0), 512),
    "mech_coupled_cranks": (lambda t: (math.cos(t) + 0.35 * math.cos(3 * t + 0.6),
                                       math.sin(t) - 0.35 * math.sin(3 * t + 0.6), 0.0), 512),
}
FORMULAS.update({f"orbit_harmonic_{k:02d}": (orbit(k), 512) for k in range(1, 17)})
FORMULAS.update({f"weave_{a}_{b}": ((lambda a, b: lambda t: (math.sin(a * t + 0.37),
                                                             0.8125 * math.sin(b * t), 0.0))(a, b), 1024)
                 for a, b in WEAVE_PAIRS})
FORMULAS.update({f"polar_rose_{n}": (rose(n), None) for n in ROSE_PETALS})
FORMULAS.update({f"spiro_{'inside' if inside else 'outside'}_{R}_{r}": (spiro(inside, R, r), 1024)
                 for inside in (True, False) for R, r in SPIRO_PEN})
FORMULAS.update({f"space_torus_{p}_{q}": (torus(p, q), 1024) for p, q in TORUS_PAIRS})
FORMULAS.update({f"space_weave_{a}_{b}_{c}": (space_weave(a, b, c), 1024) for a, b, c in SPACE_WEAVES})
FORMULAS.update({f"silhouette_harmonic_{k:02d}": (silhouette(*params), 2048)
                 for k, params in enumerate(SILHOUETTE, start=1)})

# One unit of the twelfth decimal, plus room for the two roundings to doubles.
TOLERANCE = 1e-12 + 1e-15


@pytest.mark.parametrize("name", sorted(FORMULAS), ids=str)
def test_closed_formula_gives_every_row(name):
    curve, scale_points = FORMULAS[name]
    period = ENTRY[name]["period_pips"]
    scale = 1.0
    if scale_points is not None:
        largest = max(abs(v) for i in range(scale_points)
                      for v in curve(2 * math.pi * i / scale_points))
        scale = 0.82 / largest
    for p, stored in enumerate(rows(name)):
        expected = [round(scale * v, 12) for v in curve(2 * math.pi * p / period)]
        for axis in range(3):
            assert abs(stored[axis] - expected[axis]) <= TOLERANCE, (name, p, axis)


@pytest.mark.parametrize("name, pip, expected", [
    ("polar_rose_6", 128, (-0.41, -0.41, 0.0)),
    ("spiro_inside_3_1", 0, (0.82, 0.0, 0.0)),
    ("space_torus_2_5", 0, (0.82, 0.0, 0.0)),
    ("space_torus_2_5", 256, (-0.609743589744, 0.0, 0.441538461538)),
    ("weave_1_3", 0, (0.296525158688, 0.0, 0.0)),
], ids=lambda v: str(v))
def test_stated_values_bit_for_bit(name, pip, expected):
    assert hexes(kinetrope.sample(name, pip)) == hexes(expected)


# ---- every member ---------------------------------------------------------

STARTS_AT_ORIGIN = {"wave_pinched", "wave_shouldered", "wave_folded", "wave_double_fold",
                    "wave_rounded_square", "wave_skew_warp", "wave_reed", "wave_ripple_return"}


@pytest.mark.parametrize("name", ALL_NAMES, ids=str)
def test_start_point(name):
    at_origin = hexes(kinetrope.sample(name, 0)) == hexes((0.0, 0.0, 0.0))
    assert at_origin == (name in STARTS_AT_ORIGIN)


def cyclic_steps(values):
    return [abs(values[i] - values[i - 1]) for i in range(len(values))]


@pytest.mark.parametrize("suffix", [s for s, _ in WAVE_LABELS], ids=str)
def test_wave_is_a_smooth_horizontal_lane(suffix):
    block = rows(f"wave_{suffix}")
    assert all(hexes(r[1:]) == hexes((0.0, 0.0)) for r in block)
    xs = [r[0] for r in block]
    assert max(xs) - min(xs) > 1.0
    # Continuous: no jump of a tenth of the field between pips, seam included.
    assert max(cyclic_steps(xs)) < 0.1


def local_maxima(values):
    n = len(values)
    return [i for i in range(n) if values[i] > values[i - 1] and values[i] >= values[(i + 1) % n]]


@pytest.mark.parametrize("suffix, crests", [("soft_teeth", 3), ("soft_rectifier", 1)], ids=str)
def test_wave_crest_count(suffix, crests):
    assert len(local_maxima([r[0] for r in rows(f"wave_{suffix}")])) == crests


def test_soft_rectifier_rests_on_a_floor():
    xs = [r[0] for r in rows("wave_soft_rectifier")]
    floor, span = min(xs), max(xs) - min(xs)
    resting = sum(1 for x in xs if x < floor + 0.05 * span)
    assert resting >= len(xs) // 4


@pytest.mark.parametrize("n", range(2, 10), ids=lambda n: f"polar_scallop_{n}")
def test_scallop_loop(n):
    block = rows(f"polar_scallop_{n}")
    radius = [math.hypot(x, y) for x, y, _ in block]
    # Positive radius: the loop keeps well clear of the centre...
    assert min(radius) > 0.5 * max(radius)
    # ...and goes round it exactly once.
    angles = [math.atan2(y, x) for x, y, _ in block]
    turning = sum(math.remainder(angles[i] - angles[i - 1], 2 * math.pi) for i in range(len(angles)))
    assert turning == pytest.approx(2 * math.pi, abs=1e-9)
    # n scallops: n outward bulges of the radius.
    tips = local_maxima(radius)
    assert len(tips) == n
    # One lobe is bent: the angles between neighbouring lobe tips are unequal.
    tip_angles = sorted(angles[i] % (2 * math.pi) for i in tips)
    gaps = [(tip_angles[i] - tip_angles[i - 1]) % (2 * math.pi) for i in range(n)]
    assert max(gaps) - min(gaps) > 0.15 * (2 * math.pi / n)


def test_whitworth_returns_quickly():
    xs = [r[0] for r in rows("mech_whitworth")]
    period = len(xs)
    out = (xs.index(max(xs)) - xs.index(min(xs))) % period
    back = period - out
    assert out > 1.5 * back


def test_escapement_halts_on_every_beat():
    block = rows("mech_escapement")
    period = len(block)

    def step(a, b):
        return math.dist(block[a % period][:2], block[b % period][:2])

    largest = max(step(p, p + 1) for p in range(period))
    for beat in range(0, period, kinetrope.PIPS_PER_BEAT):
        assert step(beat - 1, beat + 1) < 0.1 * largest, beat


def test_cam_return_dwells_at_top_and_bottom():
    ys = [r[1] for r in rows("mech_cam_return")]
    assert ys.count(max(ys)) >= kinetrope.PIPS_PER_BEAT
    assert ys.count(min(ys)) >= kinetrope.PIPS_PER_BEAT


def test_elliptic_cam_gives_two_unequal_lifts_per_turn():
    ys = [r[1] for r in rows("mech_elliptic_cam")]
    lifts = [ys[i] for i in local_maxima(ys)]
    assert len(lifts) == 2
    assert abs(lifts[0] - lifts[1]) > 0.1
