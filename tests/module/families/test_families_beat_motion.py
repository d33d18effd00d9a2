"""The score drives the beat motions dive, pendulum, figure8, box, corkscrew,
spiral, slalom and ricochet: each property below holds for every style, read
against that style's own score."""

import numpy as np
import pytest

from collections import Counter

import beat_measures as m
from beat_scores import BASS, read_scores
from motion_checks import block

SCORES = read_scores()
STYLES = list(SCORES)


def rows(style, variant):
    return block(f"beat_{style}_{variant}", SCORES[style].period)


def distance_to_hits(score, hits):
    """For every pip, the distance in pips to the nearest hit, around the loop."""
    period = score.period
    pips = np.arange(period)
    nearest = np.full(period, period)
    for pip, _ in hits:
        nearest = np.minimum(nearest, np.abs((pips - pip + period // 2) % period - period // 2))
    return nearest


def weight_since(score, hits, first, last):
    """For every pip, the weight of the hits that fell `first` to `last` pips before it."""
    found = np.zeros(score.period)
    for pip, weight in hits:
        for d in range(first, last + 1):
            found[(pip + d) % score.period] += weight
    return found


def spaced(hits, period, gap):
    """The hits that come at least `gap` pips after the hit before them."""
    if len(hits) == 1:
        return hits
    return [hits[i] for i in range(len(hits)) if (hits[i][0] - hits[i - 1][0]) % period >= gap]


def angular_steps(block_rows):
    """The angle the x-y point turns through around the centre from each pip
    to the next, the seam included."""
    angle = np.unwrap(np.arctan2(block_rows[:, 1], block_rows[:, 0]))
    seam = (angle[0] - angle[-1] + np.pi) % (2 * np.pi) - np.pi
    return np.append(np.diff(angle), seam)


def percussion(score):
    return score.merged(set(score.lanes) - BASS)


@pytest.mark.parametrize("style", STYLES)
def test_dive_plunges_after_every_bass_note(style):
    score = SCORES[style]
    z = rows(style, "dive")[:, 2]
    notes = spaced(score.bass, score.period, 24)
    assert notes
    shallow = [pip for pip, _ in notes if not z[(pip + 14) % score.period] < z[pip]]
    assert shallow == []


def plain_bars(score):
    """The bars that sound exactly as the groove's prevailing bar (the most
    frequent one, the lightest of several as frequent)."""
    bars = m.bar_scores(score)
    counts = Counter(bars)
    prevailing = max(bars, key=lambda bar: (counts[bar], -sum(w for _, _, w in bar)))
    return [b for b, bar in enumerate(bars) if bar == prevailing]


def weight_near(score, pip, reach):
    """The weight of every lane's hits from `reach` pips before `pip` to
    less than `reach` after, around the loop."""
    period = score.period
    return sum(w for hits in score.lanes.values() for p, w in hits
               if -reach <= (p - pip + period // 2) % period - period // 2 < reach)


def test_pendulum_swings_wider_for_a_denser_score():
    """Each swing ends on a beat, as far out as the hits around that beat
    weigh: over the groove's plain bars, a denser style swings wider."""
    reach, density = [], []
    for style, score in SCORES.items():
        x = rows(style, "pendulum")[:, 0]
        beats = [64 * (4 * b + k) for b in plain_bars(score) for k in range(4)]
        reach.append(np.mean(np.abs(x[beats])))
        density.append(np.mean([weight_near(score, pip, 32) for pip in beats]))
    ranks = [np.argsort(np.argsort(values)) for values in (reach, density)]
    assert np.corrcoef(*ranks)[0, 1] > 0.65


@pytest.mark.parametrize("style", STYLES)
def test_pendulum_swings_end_on_the_beats_and_rise_visibly(style):
    """On every beat the bob is as far out as anywhere within a sixteenth of
    it (give or take the pivot's slow drift), and it rises visibly."""
    score = SCORES[style]
    r = rows(style, "pendulum")
    x = np.abs(r[:, 0])
    short = [pip for pip in range(0, score.period, 64)
             if x[[(pip + d) % score.period for d in range(-16, 17)]].max() - x[pip] > 0.02]
    assert short == []
    assert m.travel(r, 1) > 0.3


@pytest.mark.parametrize("style", STYLES)
def test_figure8_lobes_widen_with_their_kicks_and_in_a_fill(style):
    """A lobe is widest on its beat, as wide as the kicks within a beat of it
    make it; in a bar that departs from the groove's plain bar it is wider
    than a plain bar's lobe with the same kicks."""
    score = SCORES[style]
    x = rows(style, "figure8")[:, 0]
    period = score.period
    kicks = {}
    for lobe in range(period // 128):
        weight = round(sum(w for p, w in score.kick if -64 <= (p - 128 * lobe + period // 2) % period - period // 2 < 64), 2)
        kicks.setdefault(weight, {})[lobe] = abs(x[128 * lobe])
    plain = set(plain_bars(score))
    widths = []
    for weight in sorted(kicks):
        in_plain = [w for lobe, w in kicks[weight].items() if lobe // 2 in plain]
        in_fill = [w for lobe, w in kicks[weight].items() if lobe // 2 not in plain]
        if in_plain:
            widths.append(np.mean(in_plain))
            assert np.ptp(in_plain) < 1e-9  # plain lobes with one kick weight are alike
            assert all(w > max(in_plain) for w in in_fill)
    assert widths == sorted(widths)


@pytest.mark.parametrize("style", STYLES)
def test_box_turns_a_corner_on_every_beat_and_hurries_near_hits(style):
    score = SCORES[style]
    r = rows(style, "box")
    turning = angular_steps(r)
    assert np.isclose(turning.sum(), 2 * np.pi * score.period / 256)
    # on every beat the point stands on a diagonal: a corner of the square
    corners = np.degrees(np.arctan2(r[::64, 1], r[::64, 0])) % 90
    assert np.abs(corners - 45).max() < 12
    nearest = distance_to_hits(score, score.all)
    assert turning[nearest <= 3].mean() > turning[nearest >= 7].mean()


@pytest.mark.parametrize("style", STYLES)
def test_corkscrew_widens_after_percussion(style):
    score = SCORES[style]
    radius = np.linalg.norm(rows(style, "corkscrew")[:, :2], axis=1)
    struck = weight_since(score, percussion(score), 4, 20)
    assert np.corrcoef(radius, struck)[0, 1] > 0.2


@pytest.mark.parametrize("style", STYLES)
def test_spiral_turns_faster_near_hits_and_twice_a_bar(style):
    score = SCORES[style]
    turning = angular_steps(rows(style, "spiral"))
    assert (turning > 0).all() and np.isclose(turning.sum(), 4 * np.pi * score.period / 256)
    nearest = distance_to_hits(score, score.all)
    assert turning[nearest <= 3].mean() > turning[nearest >= 7].mean()


@pytest.mark.parametrize("variant", ["corkscrew", "spiral"])
def test_coils_move_alike_in_bars_with_one_score_and_draw_in_for_a_break(variant):
    """Bars that sound alike move alike (within a quarter of the motion's
    size, what the phrase's slow drift leaves), and in a loop whose bars
    differ in weight by a full hit or more the lightest bar stays nearer the
    axis than the heaviest."""
    spread = {s: round(m.repeat_bar_spread(s, variant), 3) for s in STYLES}
    assert {s: d for s, d in spread.items() if d > 0.25} == {}
    compared, wider_break = 0, []
    for style, score in SCORES.items():
        bars = [sum(w for hits in score.lanes.values() for p, w in hits if p // 256 == b)
                for b in range(score.period // 256)]
        if max(bars) - min(bars) >= 1.0:
            compared += 1
            radius = m.radius(rows(style, variant)).reshape(-1, 256).mean(axis=1)
            if not radius[int(np.argmin(bars))] < radius[int(np.argmax(bars))]:
                wider_break.append(style)
    assert compared >= 20 and wider_break == []


@pytest.mark.parametrize("style", STYLES)
def test_slalom_lifts_after_every_kick(style):
    score = SCORES[style]
    y = rows(style, "slalom")[:, 1]
    kicks = spaced(score.kick, score.period, 24)
    assert kicks
    flat = [pip for pip, _ in kicks if not y[(pip + 8) % score.period] > y[pip]]
    assert flat == []


@pytest.mark.parametrize("style", STYLES)
def test_ricochet_leaves_from_rest_at_every_onset(style):
    score = SCORES[style]
    r = rows(style, "ricochet")
    rest = r[score.all[0][0]]
    assert [pip for pip, _ in score.all if not np.array_equal(r[pip], rest)] == []
    still = [pip for pip, _ in score.all if np.abs(r[(pip + 3) % score.period] - rest).max() < 0.005]
    assert still == []


def test_ricochet_shots_reach_further_for_stronger_hits():
    """Ghost < normal < accent: among shots with room to travel (20 pips or more
    before the next onset), every weaker shot's furthest reach falls short of
    every stronger one's within a style."""
    compared, reversed_order = 0, []
    for style, score in SCORES.items():
        r = rows(style, "ricochet")
        rest = r[score.all[0][0]]
        reach = {}
        for i, (pip, weight) in enumerate(score.all):
            gap = (score.all[(i + 1) % len(score.all)][0] - pip) % score.period or score.period
            if gap >= 20:
                shot = [(pip + d) % score.period for d in range(gap)]
                reach.setdefault(weight, []).append(np.linalg.norm(r[shot] - rest, axis=1).max())
        weights = sorted(reach)
        for weaker, stronger in zip(weights, weights[1:]):
            compared += 1
            if not max(reach[weaker]) < min(reach[stronger]):
                reversed_order.append((style, weaker, stronger))
    assert compared > 30 and reversed_order == []
