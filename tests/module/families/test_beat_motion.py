"""How the beat patterns move: each variant follows its style's score, every
pattern stays smooth from pip to pip, and no two patterns of one variant, or
of one style, are the same motion shifted in time or mirrored left to right."""

import numpy as np
import pytest

import kinetrope
from beat_scores import read_scores
from motion_checks import MAX_STEP, MIN_DISTINCT_RMS, block, largest_step, near_duplicates

BEAT = [e for e in kinetrope.catalogue() if e["name"].startswith("beat_")]
SCORES = read_scores()
VARIANTS = ["bounce", "step", "orbit", "glide", "surge", "recoil", "flutter", "dive", "pendulum",
            "figure8", "box", "corkscrew", "spiral", "slalom", "spring", "ricochet"]
GHOST = 0.35
ACCENT = 1.0


@pytest.fixture(scope="module")
def rows():
    """Every beat pattern's block, by (style, variant)."""
    found = {}
    for entry in BEAT:
        style, variant = entry["name"][len("beat_"):].rsplit("_", 1)
        found[style, variant] = block(entry["name"], entry["period_pips"])
    return found


def test_every_style_has_every_variant(rows):
    assert set(rows) == {(style, v) for style in SCORES for v in VARIANTS}


def test_no_pattern_steps_further_than_a_fixture_follows(rows):
    rough = [(key, round(largest_step(r), 3)) for key, r in rows.items() if largest_step(r) > MAX_STEP]
    assert rough == []


@pytest.mark.parametrize("variant", VARIANTS)
def test_styles_give_distinct_motions(rows, variant):
    twins = near_duplicates({style: r for (style, v), r in rows.items() if v == variant})
    assert twins == [], f"pairs within {MIN_DISTINCT_RMS} rms up to a time shift or mirrored x"


def test_variants_give_distinct_motions(rows):
    twins = [
        (style, pair)
        for style in SCORES
        for pair in near_duplicates({v: r for (s, v), r in rows.items() if s == style})
    ]
    assert twins == [], f"pairs within {MIN_DISTINCT_RMS} rms up to a time shift or mirrored x"


# ---- each variant follows the lanes it names ----------------------------------

def near(period, pip, reach):
    return [(pip + d) % period for d in range(-reach, reach + 1)]


def offset(period, found, pip):
    return (found - pip + period // 2) % period - period // 2


def answers(score):
    """The backbeat, or for a bare kick pulse every second kick."""
    return score.backbeat or score.kick[1::2]


def drum_sides(score):
    """Kick (-1) and backbeat (+1) gestures in time order; where both fall on
    one pip the gesture goes to the side opposite the one before it (the loop
    read twice, so that the first follows the last)."""
    kicks = {pip for pip, _ in score.kick}
    backs = {pip for pip, _ in answers(score)}
    sides = dict.fromkeys(sorted(kicks | backs), 0)
    for pip in sides:
        sides[pip] = 1 if pip in backs else -1
    order = list(sides)
    for lap in range(1, 2 * len(order)):
        pip = order[lap % len(order)]
        if pip in kicks and pip in backs:
            sides[pip] = -sides[order[lap % len(order) - 1]]
    return sorted(sides.items())


@pytest.mark.parametrize("style", SCORES)
def test_bounce_strokes_down_on_every_kick(rows, style):
    score = SCORES[style]
    y = rows[style, "bounce"][:, 1]
    for pip, weight in score.kick:
        if weight > GHOST:  # a ghost's shallow dip may hide in the texture
            lowest = min(near(score.period, pip, 8), key=lambda p: y[p])
            assert abs(offset(score.period, lowest, pip)) <= 6, pip
    by_weight = {}
    for pip, weight in score.kick:
        by_weight.setdefault(weight, []).append(y[pip])
    depths = [np.mean(by_weight[w]) for w in sorted(by_weight)]
    assert depths == sorted(depths, reverse=True)  # an accent goes deepest
    if not score.backbeat:
        assert np.all(rows[style, "bounce"][:, 0] == 0.0)


@pytest.mark.parametrize("variant", ["step", "flutter"])
@pytest.mark.parametrize("style", SCORES)
def test_kick_and_backbeat_move_to_opposite_sides(rows, style, variant):
    """Step and flutter: by the next drum the point has gone to the side of the
    last one, left for a kick, right for the backbeat; a kick struck with the
    backbeat goes to the other side from the drum before it."""
    score = SCORES[style]
    x = rows[style, variant][:, 0]
    sides = drum_sides(score)
    for (pip, side), (following, _) in zip(sides, sides[1:] + sides[:1]):
        assert side * x[(following - 1) % score.period] > 0, pip


@pytest.mark.parametrize("style", SCORES)
def test_orbit_turns_once_a_bar_thrown_out_by_kicks_and_drawn_in_by_the_backbeat(rows, style):
    score = SCORES[style]
    r = rows[style, "orbit"]
    angle = np.arctan2(r[:, 1], r[:, 0])
    speed = np.diff(np.unwrap(np.append(angle, angle[0])))
    assert round(speed.sum() / (2 * np.pi), 9) == score.period / 256
    kicks = [pip for pip, weight in score.kick if weight > GHOST]
    assert np.mean(speed[kicks]) > speed.mean()  # a kick hurries the point on
    radius = np.hypot(r[:, 0], r[:, 1])
    backbeat = {pip for pip, weight in score.backbeat if weight > GHOST}

    def change(pips):
        return np.mean([radius[(pip + 6) % score.period] - radius[pip] for pip in pips])

    alone = [pip for pip in kicks if pip not in backbeat]  # one drop has none
    if alone:
        assert change(alone) > 0.03
    if backbeat:
        assert change(backbeat) < -0.03


@pytest.mark.parametrize("style", SCORES)
def test_glide_loops_once_and_reaches_out_at_bass_notes(rows, style):
    score = SCORES[style]
    g = rows[style, "glide"]
    # averaged over a beat (which leaves out the hats' texture) the path goes
    # once round its centre
    wrapped = np.concatenate([g[-32:, :2], g[:, :2], g[:31, :2]])
    path = np.stack([np.convolve(wrapped[:, a], np.ones(64) / 64, mode="valid") for a in (0, 1)], axis=1)
    path -= path.mean(axis=0)
    angle = np.arctan2(path[:, 1], path[:, 0])
    assert round(np.diff(np.unwrap(np.append(angle, angle[0]))).sum() / (2 * np.pi), 9) == -1
    radius = np.hypot(g[:, 0], g[:, 1])
    bass = score.bass
    # a note with room before it: the point reaches out into it
    rises = [
        radius[pip] - radius[(pip - 16) % score.period]
        for (before, _), (pip, weight) in zip(bass[-1:] + bass[:-1], bass)
        if (pip - before) % score.period >= 32 and weight > GHOST
    ]
    assert rises and np.mean(rises) > 0.08


@pytest.mark.parametrize("style", SCORES)
def test_surge_thrusts_on_kicks_and_lifts_on_the_backbeat(rows, style):
    score = SCORES[style]
    s = rows[style, "surge"]
    for pip, weight in score.kick:
        if weight > GHOST:
            deepest = max(near(score.period, pip, 8), key=lambda p: s[p, 2])
            assert abs(offset(score.period, deepest, pip)) <= 6, pip
    lifts = answers(score)
    for (before, _), (pip, weight) in zip(lifts[-1:] + lifts[:-1], lifts):
        if weight > GHOST and (pip - before) % score.period >= 24:
            assert s[pip, 1] > s[(pip - 10) % score.period, 1], pip


@pytest.mark.parametrize("style", SCORES)
def test_recoil_pushes_aside_then_draws_back(rows, style):
    score = SCORES[style]
    x = rows[style, "recoil"][:, 0]
    pushes = answers(score)
    for i, (pip, _) in enumerate(pushes):
        side = 1 if i % 2 == 0 else -1
        assert side * (x[(pip + 6) % score.period] - x[pip]) > 0, pip
    # the echo: three sixteenths on, a lone push has swung to the other side
    for i, (pip, _) in enumerate(pushes):
        next_pip = pushes[(i + 1) % len(pushes)][0]
        if (next_pip - pip) % score.period > 80 or len(pushes) == 1:
            side = 1 if i % 2 == 0 else -1
            assert side * x[(pip + 56) % score.period] < 0, pip


@pytest.mark.parametrize("style", SCORES)
def test_flutter_trembles_after_hats(rows, style):
    """The quick tremor (what bends the path from pip to pip; the arc bends
    ten times less) is stronger in the 21 pips after a hat or shaker than
    where no hat rings and no hit sounds; where that never happens, the
    tremor never stops."""
    score = SCORES[style]
    r = rows[style, "flutter"]
    period = score.period
    bend = np.abs(np.roll(r, -1, axis=0) - 2 * r + np.roll(r, 1, axis=0)).sum(axis=1)
    after = np.zeros(period, bool)
    quiet = np.ones(period, bool)
    for pip, _ in score.hats:
        after[[(pip + t) % period for t in range(1, 22)]] = True
        quiet[[(pip + t) % period for t in range(-10, 43)]] = False
    for pip, _ in score.all:
        quiet[[(pip + t) % period for t in range(-10, 11)]] = False
    if quiet.sum() < 16:
        assert bend.mean() > 0.004
    else:
        assert bend[after].mean() > 2 * bend[quiet].mean()


RING = {1.0: 64, 0.65: 16, 0.35: 12}


@pytest.mark.parametrize("style", SCORES)
def test_spring_rests_wherever_no_ring_lives(rows, style):
    """Each hit rings for a time set by its weight; where no ring lives the
    spring is exactly at rest, and it moves right after every hit."""
    score = SCORES[style]
    s = rows[style, "spring"]
    alive = np.zeros(score.period, bool)
    for pip, weight in score.all:
        alive[[(pip + t) % score.period for t in range(1, RING[weight])]] = True
        assert np.any(s[(pip + 2) % score.period] != 0.0), pip
    assert np.all(s[~alive] == 0.0)


def test_springs_that_settle_before_the_loop_closes_start_at_the_origin(rows):
    settled = {
        style for style, score in SCORES.items()
        if all(pip + RING[weight] <= score.period for pip, weight in score.all)
    }
    at_origin = {style for style in SCORES if np.all(rows[style, "spring"][0] == 0.0)}
    assert at_origin == settled and len(settled) == 39
    others = [key for key, r in rows.items() if key[1] != "spring" and np.all(r[0] == 0.0)]
    assert others == []
