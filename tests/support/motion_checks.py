"""Motion comparisons over whole periods of rows, for the checks that keep
designed patterns smooth and distinct."""

import numpy as np

import kinetrope

MAX_STEP = 0.25
MIN_DISTINCT_RMS = 0.05


def block(name, period):
    """One period of a default pattern as an array (period, 3)."""
    return np.array([kinetrope.sample(name, p).as_tuple() for p in range(period)])


def largest_step(rows):
    """The largest change on any axis between consecutive pips, seam included."""
    return float(np.abs(rows - np.roll(rows, 1, axis=0)).max())


def least_rms_difference(a, b):
    """The smallest rms distance between two blocks of one period over every
    circular time shift of b, and of b with x mirrored: sqrt(mean over pips of
    the squared distance between the two points)."""
    fa = np.fft.rfft(a, axis=0)
    n = len(a)
    best = np.inf
    for mirror in (1.0, -1.0):
        m = b * np.array([mirror, 1.0, 1.0])
        # sum over pips of |a - shift(m)|^2 = |a|^2 + |m|^2 - 2 corr(a, m)
        corr = np.fft.irfft(fa * np.conj(np.fft.rfft(m, axis=0)), n=n, axis=0).sum(axis=1)
        sq = (a * a).sum() + (m * m).sum() - 2.0 * corr
        best = min(best, float(np.sqrt(max(sq.min(), 0.0) / n)))
    return best


def near_duplicates(blocks, threshold=MIN_DISTINCT_RMS):
    """Pairs (name, name, rms) among blocks of equal period whose least rms
    difference is not above the threshold."""
    names = list(blocks)
    found = []
    for i, first in enumerate(names):
        for second in names[i + 1:]:
            a, b = blocks[first], blocks[second]
            if len(a) == len(b):
                d = least_rms_difference(a, b)
                if d <= threshold:
                    found.append((first, second, round(d, 4)))
    return found
