"""A clock at one fixed tempo from one origin: what ``pips_at`` and ``seconds_at`` compute."""

from __future__ import annotations

import time

from ..clock import _check_tempo, pips_at, seconds_at


class FixedTempo:
    """``bpm`` beats a minute with beat 0 (pip 0) at ``beat_zero_seconds``."""

    def __init__(self, bpm: float, beat_zero_seconds: float = 0.0) -> None:
        bpm = float(bpm)
        beat_zero_seconds = float(beat_zero_seconds)
        _check_tempo(bpm, beat_zero_seconds)
        self.bpm = bpm
        self.beat_zero_seconds = beat_zero_seconds

    def pip_at(self, seconds: float) -> int:
        return pips_at(seconds, self.bpm, self.beat_zero_seconds)

    def seconds_at(self, pip: int) -> float:
        return seconds_at(pip, self.bpm, self.beat_zero_seconds)

    def bpm_at(self, seconds: float) -> float:
        return self.bpm

    def pip_now(self) -> int:
        return self.pip_at(time.monotonic())

    def __repr__(self) -> str:
        return f"FixedTempo(bpm={self.bpm!r}, beat_zero_seconds={self.beat_zero_seconds!r})"
