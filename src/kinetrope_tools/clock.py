"""Seconds to pips and back, for a host loop that drives ``sample`` from a clock."""

from __future__ import annotations

import math
from collections.abc import Callable

import kinetrope

from .arrays import PIP_MAX, PIP_MIN


def _check_tempo(bpm: float, beat_zero_seconds: float) -> None:
    if not (math.isfinite(bpm) and bpm > 0 and math.isfinite(beat_zero_seconds)):
        raise ValueError("bpm must be finite and positive and beat_zero_seconds finite")


def seconds_at(pip: int, bpm: float, beat_zero_seconds: float = 0.0) -> float:
    """The time in seconds at which ``pip`` begins, at ``bpm`` beats a minute with beat 0 at ``beat_zero_seconds``."""
    _check_tempo(bpm, beat_zero_seconds)
    return beat_zero_seconds + pip * 60.0 / (bpm * kinetrope.PIPS_PER_BEAT)


def pips_at(seconds: float, bpm: float, beat_zero_seconds: float = 0.0) -> int:
    """The pip in effect at ``seconds``: the last pip that has begun by then (floor).

    Consistent with ``seconds_at``: ``pips_at(seconds_at(p, bpm), bpm) == p``.
    Raises ValueError for a time that is not finite or whose pip does not fit
    the module's signed 32-bit pips.
    """
    _check_tempo(bpm, beat_zero_seconds)
    if not math.isfinite(seconds):
        raise ValueError("seconds must be finite")
    estimate = (seconds - beat_zero_seconds) * bpm * kinetrope.PIPS_PER_BEAT / 60.0
    if not PIP_MIN - 2 <= estimate <= PIP_MAX + 2:
        raise ValueError(f"{seconds} s is outside the 32-bit pip range at {bpm} bpm")
    # seconds_at never decreases as the pip grows, so the pip wanted is the
    # last one whose start is not after ``seconds``. The estimate may sit a
    # rounding step off a boundary, or, far from beat zero, many pips may
    # begin at the same double: search from it by doubling steps and then
    # halving, a bounded number of calls in every case.
    def begun(pip: int) -> bool:
        return seconds_at(pip, bpm, beat_zero_seconds) <= seconds

    pip = min(max(math.floor(estimate), PIP_MIN), PIP_MAX)
    low: int | None
    high: int | None
    if begun(pip):
        low, high = pip, _first_not_begun(pip, PIP_MAX + 1, begun)
    else:
        low, high = _last_begun(pip, PIP_MIN, begun), pip
    if low is None or high is None:
        raise ValueError(f"{seconds} s is outside the 32-bit pip range at {bpm} bpm")
    # begun(low) and not begun(high): halve the gap.
    while high - low > 1:
        middle = (low + high) // 2
        if begun(middle):
            low = middle
        else:
            high = middle
    return low


def _first_not_begun(start: int, limit: int, begun: Callable[[int], bool]) -> int | None:
    """The first of start + 1, + 2, + 4, ... (at most ``limit``) that has not begun; None if even ``limit`` has."""
    step = 1
    while True:
        pip = min(start + step, limit)
        if not begun(pip):
            return pip
        if pip == limit:
            return None
        step *= 2


def _last_begun(start: int, limit: int, begun: Callable[[int], bool]) -> int | None:
    """The first of start - 1, - 2, - 4, ... (at least ``limit``) that has begun; None if even ``limit`` has not."""
    step = 1
    while True:
        pip = max(start - step, limit)
        if begun(pip):
            return pip
        if pip == limit:
            return None
        step *= 2
