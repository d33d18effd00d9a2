"""Measures of how the beat patterns carry their grooves, over all 68 styles:
whether two styles move alike although their drums differ, whether a fill
shows, whether a motion trembles faster than a fixture follows, and where the
figure eight's lobes fall. Each measure reads the rows of the module and the
scores of tests/beat_scores.py; nothing here knows how a motion is made."""

from collections import Counter
from functools import cache
from math import lcm

import numpy as np

import kinetrope
import kinetrope_tools
from beat_scores import read_scores

SCORES = read_scores()
STYLES = list(SCORES)
VARIANTS = ["bounce", "step", "orbit", "glide", "surge", "recoil", "flutter", "dive", "pendulum",
            "figure8", "box", "corkscrew", "spiral", "slalom", "spring", "ricochet"]
ANALYTIC = {"bounce", "sway", "circle", "figure_eight", "step_touch", "box_step", "helix",
            "ochre_background", "single_stroke_roll", "double_stroke_roll", "multiple_bounce_roll",
            "single_paradiddle", "flam", "drag", "five_stroke_roll"}
BAR = 256
BEAT = 64
GHOST = 0.35

# Two motions are twins when their least distance is within this share of
# their size.
TWIN_SHARE = 0.2
# A lane turns back only once it has come back this far from its last
# extreme: smaller wiggles (and still stretches) are no reversal.
REVERSAL_EPS = 0.02
# The most reversals on one axis within any beat that a moving head follows
# (a cycle of 16 pips).
MOST_REVERSALS = 8


_generated = {}


def read_generated(path):
    """Reads the rows from a builtin_samples.bin that the table generator
    wrote (the records in catalogue order after the analytic patterns), so a
    table can be measured before a module is built from it."""
    samples = np.fromfile(path, dtype="<f8").reshape(-1, 3)
    builtins = [e for e in kinetrope.catalogue() if e["name"] not in ANALYTIC]
    first = 0
    for entry in builtins:
        _generated[entry["name"]] = samples[first:first + entry["period_pips"]]
        first += entry["period_pips"]
    if first != len(samples):
        raise ValueError(f"{path} holds {len(samples)} rows, not the catalogue's {first}")
    rows.cache_clear()


@cache
def rows(style, variant):
    """One period of beat_<style>_<variant>, (period, 3)."""
    name = f"beat_{style}_{variant}"
    if _generated:
        return _generated[name]
    return np.asarray(kinetrope_tools.rows(name))


def size(block):
    """The motion's size: the rms distance of the point from its mean."""
    centred = block - block.mean(axis=0)
    return float(np.sqrt((centred * centred).sum(axis=1).mean()))


def tiled(block, length):
    """A loop repeated to `length` pips (a multiple of its period)."""
    return np.tile(block, (length // len(block), 1))


def shift_distance(a, b):
    """The least rms distance between two loops over every circular shift of
    b, both tiled to a common length first."""
    n = lcm(len(a), len(b))
    a, b = tiled(a, n), tiled(b, n)
    corr = np.fft.irfft(np.fft.rfft(a, axis=0) * np.conj(np.fft.rfft(b, axis=0)), n=n, axis=0).sum(axis=1)
    squared = (a * a).sum() + (b * b).sum() - 2.0 * corr
    return float(np.sqrt(max(squared.min(), 0.0) / n))


def full_hits(hits, period, length):
    """The pips of the normal and accented hits, repeated over `length` pips."""
    return frozenset(pip + k for pip, weight in hits if weight > GHOST for k in range(0, length, period))


def drums_differ(first, second):
    """Whether two styles' kicks or backbeats differ in their full hits under
    every circular shift (a groove started a bar later is the same groove)."""
    a, b = SCORES[first], SCORES[second]
    n = lcm(a.period, b.period)
    kick_a, back_a = full_hits(a.kick, a.period, n), full_hits(a.backbeat, a.period, n)
    kick_b, back_b = full_hits(b.kick, b.period, n), full_hits(b.backbeat, b.period, n)
    for shift in range(n):
        if (frozenset((p + shift) % n for p in kick_b) == kick_a
                and frozenset((p + shift) % n for p in back_b) == back_a):
            return False
    return True


def twins(variant):
    """Pairs (style, style, distance / size) of one variant whose motions lie
    within TWIN_SHARE of their size of each other (least rms under a circular
    shift, the mean of the two sizes) although their kick or backbeat full
    hits differ (drums_differ): two grooves a viewer tells apart that move
    alike."""
    found = []
    sizes = {style: size(rows(style, variant)) for style in STYLES}
    for i, first in enumerate(STYLES):
        for second in STYLES[i + 1:]:
            scale = 0.5 * (sizes[first] + sizes[second])
            d = shift_distance(rows(first, variant), rows(second, variant))
            if d < TWIN_SHARE * scale and drums_differ(first, second):
                found.append((first, second, round(d / scale, 3)))
    return found


# ---- fills -------------------------------------------------------------------

def bar_scores(score):
    """Each bar's score: the set of (lane, pip within the bar, weight)."""
    bars = [set() for _ in range(score.period // BAR)]
    for lane, hits in score.lanes.items():
        for pip, weight in hits:
            bars[pip // BAR].add((lane, pip % BAR, weight))
    return [frozenset(bar) for bar in bars]


def fill_bars(score):
    """The bars that carry a fill: their score differs from the prevailing bar
    (the most frequent one, the plainest where several are as frequent) by
    hits the prevailing bar lacks, and they weigh more in all."""
    bars = bar_scores(score)
    counts = Counter(bars)

    def weight(bar):
        return sum(w for _, _, w in bar)

    prevailing = max(bars, key=lambda bar: (counts[bar], -weight(bar)))
    return [i for i, bar in enumerate(bars) if bar - prevailing and weight(bar) > weight(prevailing)]


def path_speed(block):
    """How far the point travels from each pip to the next (the seam included)."""
    return np.linalg.norm(np.roll(block, -1, axis=0) - block, axis=1)


def fill_ratios(variant):
    """For every style with a fill, the path length a pip in its fill bars
    over the path length a pip in its other bars: above 1 where the fill makes
    the point travel further, which is what a viewer sees as the fill."""
    ratios = {}
    for style, score in SCORES.items():
        fills = fill_bars(score)
        if fills:
            speed = path_speed(rows(style, variant)).reshape(-1, BAR)
            others = [b for b in range(len(speed)) if b not in fills]
            ratios[style] = float(speed[fills].mean() / speed[others].mean())
    return ratios


def fill_ratio(variant):
    """The median over the styles with a fill of fill_ratios."""
    return float(np.median(list(fill_ratios(variant).values())))


# ---- reversals ---------------------------------------------------------------

def turning_points(values, eps=REVERSAL_EPS):
    """The pips (ascending, in [0, period)) at which a looped lane turns back:
    an extreme from which it then travels back more than `eps` before passing
    it. Three laps are read and the middle one kept, so the seam counts like
    any other pip."""
    n = len(values)
    lap = np.concatenate([values, values, values])
    turns = []
    direction = 0
    high = low = lap[0]
    high_at = low_at = 0
    for i, v in enumerate(lap):
        if direction >= 0:
            if v > high:
                high, high_at = v, i
            if high - v > eps:
                if direction > 0:
                    turns.append(high_at)
                direction, low, low_at = -1, v, i
                continue
        if direction <= 0:
            if v < low:
                low, low_at = v, i
            if v - low > eps:
                if direction < 0:
                    turns.append(low_at)
                direction, high, high_at = 1, v, i
    return [t - n for t in turns if n <= t < 2 * n]


def reversals_per_beat(block, eps=REVERSAL_EPS):
    """The most direction reversals of any axis within any one beat (pips
    64 k to 64 k + 63) of the loop."""
    most = 0
    for axis in range(3):
        turns = np.array(turning_points(block[:, axis], eps), dtype=int)
        if len(turns):
            most = max(most, int(np.bincount(turns // BEAT).max()))
    return most


def most_reversals(variant):
    """(reversals a beat, style) of the style that reverses most often."""
    return max((reversals_per_beat(rows(style, variant)), style) for style in STYLES)


# ---- shapes ------------------------------------------------------------------

def lobe_offsets(style, variant="figure8"):
    """Pips from each bar's beats 1 and 3 to the nearest lobe extreme of the
    eight: the pip of the largest |x| in each stretch where x keeps its sign."""
    x = rows(style, variant)[:, 0]
    n = len(x)
    start = int(np.flatnonzero(np.sign(x) != np.sign(x[0]))[0])  # begin at a crossing
    order = (np.arange(n) + start) % n
    extremes, run = [], [order[0]]
    for p in order[1:]:
        if np.sign(x[p]) == np.sign(x[run[0]]):
            run.append(p)
        else:
            extremes.append(max(run, key=lambda q: abs(x[q])))
            run = [p]
    extremes.append(max(run, key=lambda q: abs(x[q])))
    extremes = np.array(extremes)
    offsets = []
    for beat in range(0, n, 2 * BEAT):
        gaps = (extremes - beat + n // 2) % n - n // 2
        offsets.append(int(np.abs(gaps).min()))
    return offsets


def lobe_drift(straight_only=True):
    """(median, largest) lobe offset over the styles (straight ones only by default)."""
    found = [o for style in STYLES if SCORES[style].straight or not straight_only for o in lobe_offsets(style)]
    return float(np.median(found)), int(max(found))


def travel(block, axis):
    """Peak to peak travel of one axis."""
    return float(np.ptp(block[:, axis]))


def crosses_centre(block, axis=0, margin=0.05):
    """Whether the axis reaches both sides of centre by more than `margin`."""
    return bool(block[:, axis].min() < -margin and block[:, axis].max() > margin)


def still_share(block, eps=1e-4):
    """The share of pips at which no axis changes by more than `eps` to the next."""
    return float((np.abs(np.roll(block, -1, axis=0) - block).max(axis=1) <= eps).mean())


def repeat_bar_spread(style, variant):
    """The largest rms distance between the motion of two bars that have an
    identical score, over the motion's size (0 where no two bars match)."""
    block = rows(style, variant)
    bars = bar_scores(SCORES[style])
    spread = 0.0
    for i in range(len(bars)):
        for j in range(i + 1, len(bars)):
            if bars[i] == bars[j]:
                d = block[i * BAR:(i + 1) * BAR] - block[j * BAR:(j + 1) * BAR]
                spread = max(spread, float(np.sqrt((d * d).sum(axis=1).mean())))
    return spread / size(block)


def beat_repeat(block):
    """The rms distance between the motion and itself one beat later, over its
    size: near 0 for a motion that repeats every beat."""
    d = block - np.roll(block, -BEAT, axis=0)
    return float(np.sqrt((d * d).sum(axis=1).mean())) / size(block)


def missed_cutbacks(style, variant="slalom", reach=12):
    """The backbeat's full hits with no turn of x within `reach` pips."""
    score = SCORES[style]
    turns = np.array(turning_points(rows(style, variant)[:, 0]), dtype=int)
    missed = []
    for pip, weight in score.backbeat:
        if weight > GHOST:
            gaps = (turns - pip + score.period // 2) % score.period - score.period // 2
            if len(turns) == 0 or np.abs(gaps).min() > reach:
                missed.append(pip)
    return missed


def radius(block):
    """Distance of the point from the loop's centre in x and y."""
    centred = block[:, :2] - block[:, :2].mean(axis=0)
    return np.hypot(centred[:, 0], centred[:, 1])


def radius_response(style, variant, role, after=12):
    """Mean change of the x-y radius over `after` pips following the role's
    full hits: > 0 where the role sends the point out, < 0 where it draws it in."""
    score = SCORES[style]
    r = radius(rows(style, variant))
    hits = [pip for pip, weight in getattr(score, role) if weight > GHOST]
    return float(np.mean([r[(pip + after) % score.period] - r[pip] for pip in hits])) if hits else 0.0
