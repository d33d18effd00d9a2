"""The fifteen analytic patterns: their stated values bit for bit, every pip
of a period against an independent evaluation in the same order of
operations, and periodicity over the whole pip range."""

import math

import pytest
from hypothesis import given
from hypothesis import strategies as st

import kinetrope
from exact import hexes

TWO_PI = 6.283185307179586
FOUR_PI = 12.566370614359172
PI = 3.141592653589793
HALF_PI = 1.5707963267948966

PERIODS = {
    "bounce": 64, "sway": 128, "circle": 64, "figure_eight": 128, "step_touch": 128,
    "box_step": 256, "helix": 256, "ochre_background": 256, "single_stroke_roll": 64,
    "double_stroke_roll": 64, "multiple_bounce_roll": 64, "single_paradiddle": 128,
    "flam": 64, "drag": 64, "five_stroke_roll": 128,
}


def smoothstep(w):
    return (3.0 - (w + w)) * (w * w)


def shape_reference(name, ph):
    if name == "bounce":
        return (1.0 - abs(ph * 0.015625 - 0.5) * 4.0, 0.0, 0.0)
    if name == "sway":
        return (math.sin(ph * 0.0078125 * TWO_PI), 0.0, 0.0)
    if name == "circle":
        a = ph * 0.015625 * TWO_PI - HALF_PI
        return (math.cos(a), math.sin(a), 0.0)
    if name == "figure_eight":
        a = ph * 0.0078125 * TWO_PI
        return (math.sin(a), math.sin(a + a), 0.0)
    if name == "step_touch":
        k, w = ph // 32, (ph % 32) * 0.03125
        start, end = [(-1.0, 0.0), (0.0, 1.0), (1.0, 0.0), (0.0, -1.0)][k]
        return (smoothstep(w) * (end - start) + start, -(math.sin(w * PI) * 0.35), 0.0)
    if name == "box_step":
        corners = [(-1.0, -1.0), (1.0, -1.0), (1.0, 1.0), (-1.0, 1.0), (-1.0, -1.0)]
        k = ph // 64
        s = smoothstep((ph % 64) * 0.015625)
        (fx, fy), (tx, ty) = corners[k], corners[k + 1]
        return ((tx - fx) * s + fx, (ty - fy) * s + fy, 0.0)
    if name == "helix":
        u = ph * 0.00390625
        a = u * FOUR_PI
        return (math.cos(a), math.sin(a), math.sin(u * TWO_PI))
    raise KeyError(name)


SHAPES = ["bounce", "sway", "circle", "figure_eight", "step_touch", "box_step", "helix"]


@pytest.mark.parametrize("name", SHAPES)
def test_shapes_match_an_independent_evaluation(name):
    function = getattr(kinetrope, name)
    for ph in range(PERIODS[name]):
        assert hexes(function(ph)) == hexes(shape_reference(name, ph)), ph


STATED = [
    ("bounce", 0, (-1.0, 0.0, 0.0)),
    ("bounce", 16, (0.0, 0.0, 0.0)),
    ("bounce", 32, (1.0, 0.0, 0.0)),
    ("bounce", -1, (-0.9375, 0.0, 0.0)),
    ("bounce", 63, (-0.9375, 0.0, 0.0)),
    ("sway", 32, (1.0, 0.0, 0.0)),
    ("sway", -32, (-1.0, 0.0, 0.0)),
    ("sway", 96, (-1.0, 0.0, 0.0)),
    ("circle", 0, (6.123233995736766e-17, -1.0, 0.0)),
    ("circle", 16, (1.0, 0.0, 0.0)),
    ("figure_eight", 16, (0.7071067811865475, 1.0, 0.0)),
    ("step_touch", 0, (-1.0, -0.0, 0.0)),
    ("step_touch", 16, (-0.5, -0.35, 0.0)),
    ("step_touch", 64, (1.0, -0.0, 0.0)),
    ("box_step", 0, (-1.0, -1.0, 0.0)),
    ("box_step", 32, (0.0, -1.0, 0.0)),
    ("box_step", 128, (1.0, 1.0, 0.0)),
    ("box_step", 255, (-1.0, -0.9985504150390625, 0.0)),
    ("helix", 0, (1.0, 0.0, 0.0)),
    ("ochre_background", 0, (0.0, 0.0, 0.0)),
    ("ochre_background", 256, (0.0, 0.0, 0.0)),
    ("ochre_background", -256, (0.0, 0.0, 0.0)),
    ("ochre_background", 28, (0.5357142857142858, -0.45000000000000007, 0.0)),
    ("ochre_background", 33, (0.9285714285714286, -0.8, 0.0)),
    ("ochre_background", 169, (0.8571428571428571, 1.0, 0.0)),
    ("ochre_background", 87, (-0.21428571428571425, 0.20000000000000007, 0.0)),
    ("ochre_background", 100, (-1.0, 0.8999999999999999, 0.0)),
    ("ochre_background", 228, (-0.7142857142857142, -0.8999999999999999, 0.0)),
    ("single_stroke_roll", 0, (0.0, 0.0, 0.0)),
    ("single_stroke_roll", 4, (0.92, -0.6624, 0.0)),
    ("single_stroke_roll", 12, (-0.92, -0.6624, 0.0)),
    ("single_stroke_roll", -60, (0.92, -0.6624, 0.0)),
    ("double_stroke_roll", 12, (0.72, -0.5184, 0.0)),
    ("multiple_bounce_roll", 24, (0.0, 0.0, 0.0)),
    ("multiple_bounce_roll", 35, (-0.92, -0.6624, 0.0)),
    ("single_paradiddle", 4, (1.0, -0.72, 0.0)),
    ("single_paradiddle", 36, (-1.0, -0.72, 0.0)),
    ("single_paradiddle", 100, (-1.0, -0.72, 0.0)),
    ("single_paradiddle", 28, (0.72, -0.5184, 0.0)),
    ("flam", 12, (0.9, -0.648, 0.0)),
    ("flam", 44, (-0.9, -0.648, 0.0)),
    ("five_stroke_roll", 43, (1.0, -0.72, 0.0)),
    ("five_stroke_roll", 107, (-1.0, -0.72, 0.0)),
]


@pytest.mark.parametrize("name, pip, expected", STATED, ids=lambda v: str(v))
def test_stated_values_bit_for_bit(name, pip, expected):
    assert hexes(getattr(kinetrope, name)(pip)) == hexes(expected)
    assert hexes(kinetrope.sample(name, pip)) == hexes(expected)


# Values known to the stated number of decimals, written as text to keep them.
NEAR = [
    ("step_touch", -1, ("-0.99713134765625", "-0.0343060")),
    ("ochre_background", -1, ("-0.0036088", "-0.0050523")),
    ("ochre_background", 64, ("0.1603212", "-0.1933372")),
    ("ochre_background", 128, ("-0.2763081", "0.4056927")),
    ("double_stroke_roll", 4, ("0.88", "-0.6336")),
    ("double_stroke_roll", 20, ("-0.88", "-0.6336")),
    ("flam", 8, ("0.23240", "-0.33648")),
    ("drag", 17, ("0.88", "-0.6336")),
    ("drag", 49, ("-0.88", "-0.6336")),
    ("drag", 3, ("-0.23899", "-0.17208")),
    ("five_stroke_roll", 8, ("0.08422", "-0.06064")),
]


@pytest.mark.parametrize("name, pip, expected", NEAR, ids=lambda v: str(v))
def test_stated_approximate_values(name, pip, expected):
    value = getattr(kinetrope, name)(pip).as_tuple()
    for got, text in zip(value, expected):
        digits = len(text.split(".")[1])
        assert f"{got:.{digits}f}" == text
    assert value[2] == 0.0


def test_step_touch_wraps_and_helix_turns():
    assert hexes(kinetrope.step_touch(-1)) == hexes(kinetrope.step_touch(127))
    assert (kinetrope.helix(64).x, kinetrope.helix(64).z) == (-1.0, 1.0)
    assert (kinetrope.helix(192).x, kinetrope.helix(192).z) == (-1.0, -1.0)


# The rudiments: start, hand, accent, length of every stroke.
R, L = 1, -1
STROKES = {
    "single_stroke_roll": (64, [(8 * i, R if i % 2 == 0 else L, 0.92, 8) for i in range(8)]),
    "double_stroke_roll": (64, [(8 * i, [R, R, L, L][i % 4], [0.88, 0.72][i % 2], 8) for i in range(8)]),
    "multiple_bounce_roll": (
        64, [(32 * h + 6 * i, [R, L][h], [0.92, 0.68, 0.48, 0.32][i], 6) for h in range(2) for i in range(4)]
    ),
    "single_paradiddle": (
        128, [(8 * i, 1 if "RLRRLRLL"[i % 8] == "R" else -1, 1.0 if i % 4 == 0 else 0.72, 8) for i in range(16)]
    ),
    "flam": (64, [(0, L, 0.34, 10), (5, R, 0.9, 14), (32, R, 0.34, 10), (37, L, 0.9, 14)]),
    "drag": (64, [(0, L, 0.28, 8), (5, L, 0.32, 8), (10, R, 0.88, 14),
                  (32, R, 0.28, 8), (37, R, 0.32, 8), (42, L, 0.88, 14)]),
    "five_stroke_roll": (128, [(0, R, 0.72, 9), (8, R, 0.62, 9), (16, L, 0.72, 9), (24, L, 0.62, 9),
                               (36, R, 1.0, 14), (64, L, 0.72, 9), (72, L, 0.62, 9), (80, R, 0.72, 9),
                               (88, R, 0.62, 9), (100, L, 1.0, 14)]),
}


def strokes_reference(pip, period, strokes):
    sx = sy = 0.0
    ph = pip % period
    for start, hand, accent, length in strokes:
        local = (ph - start) % period
        e = 0.0
        if local < length:
            s = math.sin(local / length * PI)
            e = (s * accent) * s
        sx = sx + float(hand) * e
        sy = sy - e * 0.72
    return (min(1.0, max(-1.0, sx)), min(1.0, max(-1.0, sy)), 0.0)


@pytest.mark.parametrize("name", list(STROKES))
def test_rudiments_match_an_independent_evaluation(name):
    period, strokes = STROKES[name]
    function = getattr(kinetrope, name)
    for pip in range(period):
        value = function(pip)
        assert hexes(value) == hexes(strokes_reference(pip, period, strokes)), pip
        assert value.y <= 0.0


def test_multiple_bounce_cluster_decays():
    assert [kinetrope.multiple_bounce_roll(p).x for p in (3, 9, 15, 21)] == [0.92, 0.68, 0.48, 0.32]


DRIFT_KEYS = [
    (0, 0.0, 0.0), (23, 2 / 14, -0.1), (33, 13 / 14, -0.8), (49, 5 / 14, -0.4), (87, -3 / 14, 0.2),
    (100, -1.0, 0.9), (118, -5 / 14, 0.5), (154, 1 / 14, 0.0), (169, 12 / 14, 1.0), (187, 4 / 14, 0.5),
    (215, -2 / 14, -0.2), (228, -10 / 14, -0.9), (243, -3 / 14, -0.3), (256, 0.0, 0.0),
]


def test_drift_matches_its_keyframes_eased():
    for j in range(256):
        i = next(k for k in range(len(DRIFT_KEYS) - 1) if j <= DRIFT_KEYS[k + 1][0])
        (p0, x0, y0), (p1, x1, y1) = DRIFT_KEYS[i], DRIFT_KEYS[i + 1]
        s = smoothstep(float(j - p0) / float(p1 - p0))
        expected = ((x1 - x0) * s + x0, (y1 - y0) * s + y0, 0.0)
        assert hexes(kinetrope.ochre_background(j)) == hexes(expected), j


@given(st.sampled_from(sorted(PERIODS)), st.integers(-(2**31), 2**31 - 1), st.integers(-(2**22), 2**22))
def test_every_pattern_repeats_after_its_period(name, pip, loops):
    other = pip + loops * PERIODS[name]
    if -(2**31) <= other < 2**31:
        function = getattr(kinetrope, name)
        assert hexes(function(pip)) == hexes(function(other))
        assert hexes(function(pip)) == hexes(function(pip % PERIODS[name]))


@pytest.mark.parametrize("name", sorted(PERIODS))
def test_extreme_pips_wrap(name):
    function, period = getattr(kinetrope, name), PERIODS[name]
    assert hexes(function(-(2**31))) == hexes(function(-(2**31) % period))
    assert hexes(function(2**31 - 1)) == hexes(function((2**31 - 1) % period))


@pytest.mark.parametrize("name", sorted(PERIODS))
def test_values_stay_in_range_and_unused_axes_are_zero(name):
    dimensions = next(e["dimensions"] for e in kinetrope.catalogue() if e["name"] == name)
    for pip in range(PERIODS[name]):
        value = getattr(kinetrope, name)(pip).as_tuple()
        assert all(-1.0 <= v <= 1.0 for v in value)
        assert all(hexes([v]) == hexes([0.0]) for v in value[dimensions:])
