"""Seconds to pips and back, for a host loop that drives ``sample`` from a clock."""

from __future__ import annotations

import math

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
    pip = math.floor(estimate)
    # The estimate may sit one rounding step off a pip boundary; settle on the
    # pip that seconds_at puts at or before this time.
    while seconds_at(pip + 1, bpm, beat_zero_seconds) <= seconds:
        pip += 1
    while seconds_at(pip, bpm, beat_zero_seconds) > seconds:
        pip -= 1
    if not PIP_MIN <= pip <= PIP_MAX:
        raise ValueError(f"{seconds} s is outside the 32-bit pip range at {bpm} bpm")
    return pip
