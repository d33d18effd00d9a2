"""A clock at one fixed tempo from one origin, and the plain conversions it is made of."""

from __future__ import annotations

import math
import time

from ..base.pips import PIPS_PER_BEAT, checked_pip, checked_seconds, exact_floor
from .tempo import checked_bpm


def seconds_at(pip: int, bpm: float, *, beat_zero_seconds: float = 0.0) -> float:
    """The time in seconds at which ``pip`` begins, at ``bpm`` beats a minute with beat 0 at ``beat_zero_seconds``."""
    pip = checked_pip(pip)
    bpm = checked_bpm(bpm)
    origin = checked_seconds(beat_zero_seconds)
    return _seconds_at(pip, bpm, origin)


def pips_at(seconds: float, bpm: float, *, beat_zero_seconds: float = 0.0) -> int:
    """The pip in effect at ``seconds``: the last pip that has begun by then (floor).

    Consistent with ``seconds_at``: ``pips_at(seconds_at(p, bpm), bpm) == p``.
    Raises ValueError for a time that is not finite or whose pip does not fit
    the module's signed 32-bit pips.
    """
    seconds = checked_seconds(seconds)
    bpm = checked_bpm(bpm)
    origin = checked_seconds(beat_zero_seconds)
    estimate = (seconds - origin) * bpm * PIPS_PER_BEAT / 60.0
    return exact_floor(seconds, estimate, lambda pip: _seconds_at(pip, bpm, origin), f"at {bpm} bpm")


def _seconds_at(pip: int, bpm: float, origin: float) -> float:
    return origin + pip * 60.0 / (bpm * PIPS_PER_BEAT)


class FixedTempo:
    """``bpm`` beats a minute with beat 0 (pip 0) at ``beat_zero_seconds``.

    The pips run out 2**31 pips from beat 0: after 2,015,281 s (23.3 days) at
    999 bpm, 194 days at 120 bpm, 3.2 years at 20 bpm. From then on ``pip_at``
    raises ValueError on every call, as every clock does past its pips; up to
    then each pip is exact, since a double holds the time to well under a pip.
    """

    def __init__(self, bpm: float, *, beat_zero_seconds: float = 0.0) -> None:
        self._bpm = checked_bpm(bpm)
        self.beat_zero_seconds = checked_seconds(beat_zero_seconds)
        # The latest time a pip was asked for: a host that runs ahead of now
        # (to make up for its outputs' latency) has already shown that pip.
        self._asked = -math.inf

    @property
    def bpm(self) -> float:
        return self._bpm

    def set_bpm(self, bpm: float) -> None:
        """A new tempo from now on, the pip in effect now kept: the clock does not jump.

        "Now" is the later of ``time.monotonic()`` and the latest time a pip
        was asked for, so a pip already given is never followed by a smaller
        one, however far ahead the host asks.
        """
        bpm = checked_bpm(bpm)
        now = max(time.monotonic(), self._asked)
        beat = (now - self.beat_zero_seconds) * self._bpm / 60.0
        self.beat_zero_seconds = now - beat * 60.0 / bpm
        self._bpm = bpm

    def pip_at(self, seconds: float) -> int:
        seconds = checked_seconds(seconds)
        if seconds > self._asked:
            self._asked = seconds
        return pips_at(seconds, self._bpm, beat_zero_seconds=self.beat_zero_seconds)

    def seconds_at(self, pip: int) -> float:
        return seconds_at(pip, self._bpm, beat_zero_seconds=self.beat_zero_seconds)

    def bpm_at(self, seconds: float) -> float:
        return self._bpm

    def pip_now(self) -> int:
        return self.pip_at(time.monotonic())

    def __repr__(self) -> str:
        return f"FixedTempo(bpm={self._bpm!r}, beat_zero_seconds={self.beat_zero_seconds!r})"
