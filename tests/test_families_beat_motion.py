"""The score drives the beat motions dive, pendulum, figure8, box, corkscrew,
spiral, slalom and ricochet: each property below holds for every style, read
against that style's own score."""

import numpy as np
import pytest

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


def test_pendulum_swings_wider_for_a_denser_score():
    reach, density = [], []
    for style, score in SCORES.items():
        reach.append(np.percentile(np.abs(rows(style, "pendulum")[:, 0]), 95))
        weight = sum(w for hits in score.lanes.values() for _, w in hits)
        density.append(weight / score.period)
    ranks = [np.argsort(np.argsort(values)) for values in (reach, density)]
    assert np.corrcoef(*ranks)[0, 1] > 0.75


@pytest.mark.parametrize("style", STYLES)
def test_figure8_lobes_grow_past_their_resting_size_only_after_kicks(style):
    score = SCORES[style]
    x = rows(style, "figure8")[:, 0]
    widened = np.abs(x) > 0.455
    after_kick = weight_since(score, score.kick, 0, 64) > 0
    assert widened.any()
    assert not (widened & ~after_kick).any()


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
def test_spiral_turns_faster_near_hits_and_closes_after_two_turns(style):
    score = SCORES[style]
    turning = angular_steps(rows(style, "spiral"))
    assert (turning > 0).all() and np.isclose(turning.sum(), 4 * np.pi)
    nearest = distance_to_hits(score, score.all)
    assert turning[nearest <= 3].mean() > turning[nearest >= 7].mean()


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
