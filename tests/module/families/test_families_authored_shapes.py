"""The authored lfo_, ease_, akwf_ and path_ patterns: closed formulas against
an independent evaluation, and the character each description promises."""

import hashlib
import math

import pytest

import kinetrope
from exact import hexes

CATALOGUE = {e["name"]: e for e in kinetrope.catalogue()}
ZERO = (0.0).hex()


def rows(name):
    return [kinetrope.sample(name, p).as_tuple() for p in range(CATALOGUE[name]["period_pips"])]


def lane(name, axis=0):
    return [row[axis] for row in rows(name)]


def peaks(values):
    """(pip, value) of every strict local maximum around the loop; a flat top
    counts once, at its first pip."""
    n = len(values)
    found = []
    for i in range(n):
        if values[i] == values[i - 1]:
            continue
        j = (i + 1) % n
        while values[j] == values[i] and j != i:
            j = (j + 1) % n
        if values[i] > values[i - 1] and values[i] > values[j]:
            found.append((i, values[i]))
    return found


def troughs(values):
    return [(i, -v) for i, v in peaks([-v for v in values])]


# ---- closed formulas -----------------------------------------------------

SQRT = math.sqrt


def rose(theta, r):
    return (r * math.cos(theta), r * math.sin(theta))


FORMULAS = {
    "lfo_breathe": lambda t: (0.8 * math.sin(t),),
    "lfo_flower": lambda t: (
        0.56 * math.cos(t) - 0.28 * math.cos(2 * t),
        0.56 * math.sin(t) + 0.28 * math.sin(2 * t),
    ),
    "lfo_breathing_orbit": lambda t: (
        0.67 * math.cos(t) + 0.11 * math.cos(3 * t),
        0.39 * math.sin(t) + 0.09 * math.sin(3 * t),
    ),
    "lfo_triplet_wobble": lambda t: ((0.5525 - 0.255 * math.cos(t)) * math.sin(12 * t), 0.22 * math.sin(t)),
    "lfo_pendulum_dwell": lambda t: (0.78 * math.tanh(2.8 * math.sin(t)) / math.tanh(2.8), 0.22 * math.cos(2 * t)),
    "path_lissajous_2_3": lambda t: (0.78 * math.sin(2 * t), 0.68 * math.sin(3 * t)),
    "path_rose_4": lambda t: rose(t, 0.82 * math.cos(2 * t)),
    "path_rose_5": lambda t: rose(t / 2, 0.82 * math.cos(5 * t / 2)),
    "path_bowed_diamond": lambda t: (0.8 * math.cos(t) ** 3, 0.8 * math.sin(t) ** 3),
    "path_orbit_dwell": lambda t: (0.8 * math.cos(t - math.sin(t)), 0.6 * math.sin(t - math.sin(t))),
    "path_torus_knot": lambda t: (
        (0.54 + 0.22 * math.cos(3 * t)) * math.cos(2 * t),
        (0.54 + 0.22 * math.cos(3 * t)) * math.sin(2 * t),
        0.36 * math.sin(3 * t),
    ),
    "path_woven_3d": lambda t: (0.72 * math.sin(2 * t), 0.64 * math.sin(3 * t), 0.48 * math.sin(5 * t)),
    "path_crank_slider": lambda t: (0.78 * (math.cos(t) + SQRT(9 - math.sin(t) ** 2) - 3), 0.3 * math.sin(t)),
}

SHAPES = [
    # name, period, dimensions
    ("lfo_breathe", 256, 1), ("lfo_surge", 256, 1), ("lfo_soft_gate", 256, 1),
    ("lfo_double_pump", 256, 2), ("lfo_ratchet", 256, 2), ("lfo_glide_stair", 256, 1),
    ("lfo_morph", 512, 2), ("lfo_flower", 512, 2), ("lfo_twin_swell", 512, 2),
    ("lfo_pulse_hold", 256, 1), ("lfo_sweep_ratchet", 512, 2), ("lfo_triplet_wobble", 512, 2),
    ("lfo_breathing_orbit", 512, 2), ("lfo_seeded_drift", 1024, 2), ("lfo_pendulum_dwell", 512, 2),
    ("lfo_reverse_swell", 512, 2),
    ("ease_rebound", 256, 1), ("ease_anticipate", 256, 1), ("ease_overshoot", 256, 1),
    ("ease_elastic", 256, 1),
    ("akwf_round_saw", 256, 1), ("akwf_quick_return", 256, 1), ("akwf_multi_lobe", 256, 1),
    ("akwf_plateau", 256, 1),
    ("path_lissajous_2_3", 512, 2), ("path_rose_4", 512, 2), ("path_rose_5", 512, 2),
    ("path_bowed_diamond", 512, 2), ("path_orbit_dwell", 512, 2), ("path_torus_knot", 1024, 3),
    ("path_woven_3d", 1024, 3), ("path_crank_slider", 256, 2),
]


@pytest.mark.parametrize("name, period, dimensions", SHAPES, ids=[s[0] for s in SHAPES])
def test_period_and_dimensions(name, period, dimensions):
    entry = CATALOGUE[name]
    assert (entry["period_pips"], entry["dimensions"]) == (period, dimensions)


@pytest.mark.parametrize("name", sorted(FORMULAS))
def test_closed_formula_rows(name):
    period = CATALOGUE[name]["period_pips"]
    for p, row in enumerate(rows(name)):
        expected = FORMULAS[name](2 * math.pi * p / period)
        for axis, value in enumerate(expected):
            assert abs(row[axis] - round(value, 12)) <= 1e-12 * (1 + 1e-9), (name, p, axis)
        assert hexes(row[len(expected):]) == (ZERO,) * (3 - len(expected)), (name, p)


# ---- easing loops --------------------------------------------------------

EASES = ["ease_rebound", "ease_anticipate", "ease_overshoot", "ease_elastic"]


def hold(values):
    """(first pip, last pip, value) of the longest run of one non-zero value:
    the target the loop eases out to and holds."""
    best = (0, -1, 0.0)
    i = 0
    while i < len(values):
        j = i
        while j + 1 < len(values) and values[j + 1] == values[i]:
            j += 1
        if values[i] != 0.0 and j - i > best[1] - best[0]:
            best = (i, j, values[i])
        i = j + 1
    return best


@pytest.mark.parametrize("name", EASES)
def test_ease_loop_leaves_and_returns_to_rest(name):
    x = lane(name)
    start, end, target = hold(x)
    assert x[0].hex() == ZERO and x[-1].hex() == ZERO
    assert end - start >= 8 and target > 0.5
    # Out before the hold, back after it, then at rest until the loop restarts.
    assert 0 < start and end < len(x) - 1
    rest = [v for v in x[end + 1 :] if v == 0.0]
    assert len(rest) >= 8


def test_overshoot_sails_past_the_target_and_past_rest():
    x = lane("ease_overshoot")
    start, end, target = hold(x)
    assert max(x[:start]) > target + 0.05
    assert min(x[end:]) < -0.05


def test_anticipate_draws_back_before_each_leg():
    x = lane("ease_anticipate")
    start, end, target = hold(x)
    first_move = next(v for v in x if v != 0.0)
    assert first_move < 0.0
    after_hold = next(v for v in x[end + 1 :] if v != target)
    assert after_hold > target


def test_rebound_bounces_lower_each_time():
    x = lane("ease_rebound")
    start, end, target = hold(x)
    # Outward: the point reaches the target and bounces back off it.
    dips = [target - v for _, v in troughs(x[:start])]
    assert len(dips) >= 2
    assert all(a > b > 0 for a, b in zip(dips, dips[1:]))
    # Homeward: it lands on rest and bounces up off it.
    hops = [v for _, v in peaks(x[end + 1 :] + [0.0])]
    assert len(hops) >= 2
    assert all(a > b > 0 for a, b in zip(hops, hops[1:]))


def test_elastic_peaks_at_point_eight_and_rings_about_its_target():
    x = lane("ease_elastic")
    start, end, target = hold(x)
    assert max(x).hex() == (0.8).hex()
    outward = [v - target for v in x[:start]]
    crossings = sum(1 for a, b in zip(outward, outward[1:]) if a * b < 0)
    assert crossings >= 3
    swings = [abs(v - target) for _, v in peaks(x[:start]) + troughs(x[:start])]
    swings.sort(reverse=True)
    assert swings[0] > swings[1] > swings[2]


# ---- single-cycle waveforms ------------------------------------------------


def return_share(values):
    """Share of the loop's steps that go against the main ramp: the steps in
    whichever direction the value moves less often."""
    falling = sum(1 for i in range(len(values)) if values[i] < values[i - 1])
    return min(falling, len(values) - falling) / len(values)


# The first samples and the extreme of each waveform, as published: the rows
# are these samples in order, times one gain.
WAVEFORM_SAMPLES = {
    "akwf_round_saw": {0: 377, 1: 1516, 2: 2589, 233: -32359},
    "akwf_quick_return": {0: 4328, 1: 10605, 2: 15481, 15: 32369},
    "akwf_multi_lobe": {0: 1147, 1: 4701, 2: 8609, 10: 32302},
    "akwf_plateau": {0: -142, 1: -796, 2: -1599, 173: 32372},
}


@pytest.mark.parametrize("name", WAVEFORM_SAMPLES)
def test_waveforms_are_their_samples_times_one_gain(name):
    x = lane(name)
    samples = WAVEFORM_SAMPLES[name]
    gain = x[0] / samples[0]
    assert gain > 0
    for pip, sample in samples.items():
        assert x[pip] == pytest.approx(sample * gain, rel=1e-9, abs=1e-12), pip
    assert max(abs(v) for v in x) == abs(x[max(samples, key=lambda p: abs(samples[p]))])


@pytest.mark.parametrize(
    "name, low, high",
    [
        ("akwf_round_saw", 0.15, 0.4),  # a rounded reset, clearly shorter than the ramp
        ("akwf_quick_return", 0.0, 0.15),  # a quick return after a long ramp
    ],
)
def test_saws_ramp_slowly_and_return_quickly(name, low, high):
    x = lane(name)
    assert low < return_share(x) < high
    assert len(peaks(x)) == 1


def test_multi_lobe_has_several_lobes():
    x = lane("akwf_multi_lobe")
    assert len(peaks(x)) >= 3 and len(troughs(x)) >= 3


def test_plateau_spends_most_of_the_cycle_near_its_extremes():
    x = lane("akwf_plateau")
    extreme = max(abs(v) for v in x)
    assert sum(1 for v in x if abs(v) > 0.7 * extreme) > 0.6 * len(x)


# ---- lfo shapes ------------------------------------------------------------


def test_ratchet_hits_peak_on_an_eighth_grid_and_decay():
    xs, ys = lane("lfo_ratchet", 0), lane("lfo_ratchet", 1)
    hits = peaks(xs)
    assert len(hits) == 4
    pips = [p for p, _ in hits]
    assert all(p % 32 == 0 for p in pips)
    assert [b - a for a, b in zip(pips, pips[1:])] == [32, 32, 32]
    heights = [v for _, v in hits]
    assert all(a > b > 0 for a, b in zip(heights, heights[1:]))
    # The vertical kicks peak on the same pips, alternately up and down.
    kicks = sorted(peaks(ys) + troughs(ys))
    assert [p for p, _ in kicks] == pips
    assert [v > 0 for _, v in kicks] == [True, False, True, False]
    # Then the burst rests for at least a beat.
    still = [p for p in range(len(xs)) if xs[p] == 0.0 and ys[p] == 0.0]
    assert len(still) >= 64


def test_double_pump_moves_only_y_in_two_unequal_pumps():
    block = rows("lfo_double_pump")
    assert all(row[0].hex() == ZERO for row in block)
    pumps = peaks([row[1] for row in block])
    assert len(pumps) == 2
    assert abs(pumps[0][1] - pumps[1][1]) > 0.1


def test_sweep_ratchet_has_three_decaying_vertical_ratchets():
    ys = lane("lfo_sweep_ratchet", 1)
    heights = [v for _, v in peaks(ys)]
    assert len(heights) == 3
    assert all(a > b > 0 for a, b in zip(heights, heights[1:]))


def held_levels(values, shortest=5):
    """Values held unchanged for at least `shortest` consecutive pips, in order."""
    levels, run = [], 1
    for i in range(1, len(values) + 1):
        if i < len(values) and values[i] == values[i - 1]:
            run += 1
            continue
        if run >= shortest:
            levels.append(values[i - 1])
        run = 1
    return levels


def test_glide_stair_climbs_five_steps_across_the_field():
    x = lane("lfo_glide_stair")
    # Read the loop from where the point settles on its lowest step.
    bottom = min(x)
    start = next(i for i in range(len(x)) if x[i] == bottom and x[i - 1] != bottom)
    levels = held_levels(x[start:] + x[:start])
    assert len(levels) == 6
    assert all(a < b for a, b in zip(levels, levels[1:]))
    assert levels[0] <= -0.75 and levels[-1] >= 0.75


def test_soft_gate_dwells_on_two_levels_most_of_the_time():
    x = lane("lfo_soft_gate")
    assert len(set(held_levels(x, shortest=32))) == 2
    still = sum(1 for i in range(len(x)) if x[i] == x[i - 1])
    assert still > 0.6 * len(x)
    # Transitions take time: no step covers more than a tenth of the swing.
    swing = max(x) - min(x)
    assert max(abs(x[i] - x[i - 1]) for i in range(len(x))) < 0.1 * swing


def hashed_unit(key):
    bits = int.from_bytes(hashlib.sha256(key.encode()).digest()[:8], "big")
    return 2.0 * ((bits >> 11) * 2.0**-53) - 1.0


def test_seeded_drift_passes_through_its_hashed_control_values():
    block = rows("lfo_seeded_drift")
    for i in range(16):
        assert block[64 * i][0] == round(0.75 * hashed_unit(f"lfo_seeded_drift/x/{i}"), 12)
        assert block[32 + 64 * i][1] == round(0.75 * hashed_unit(f"lfo_seeded_drift/y/{i}"), 12)


def test_seeded_drift_lanes_are_smooth_and_unrelated():
    block = rows("lfo_seeded_drift")
    for axis in (0, 1):
        values = [row[axis] for row in block]
        steps = [values[i] - values[i - 1] for i in range(len(values))]
        assert max(abs(s) for s in steps) < 0.03
        # Smooth: the slope changes little from pip to pip, seam included.
        assert max(abs(steps[i] - steps[i - 1]) for i in range(len(steps))) < 0.002
    xs, ys = [r[0] for r in block], [r[1] for r in block]
    mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
    cov = sum((a - mx) * (b - my) for a, b in zip(xs, ys))
    norm = math.sqrt(sum((a - mx) ** 2 for a in xs) * sum((b - my) ** 2 for b in ys))
    assert abs(cov / norm) < 0.5
