"""A clock on a track's own time, played from a moment of ``time.monotonic()``.

A beat map speaks the track's seconds; the frame loop speaks monotonic
seconds. Playing along from ``start_seconds`` into the track, begun at
``started_at``, track time is monotonic time minus ``started_at`` plus
``start_seconds``.
"""

from __future__ import annotations

import time

from ..base.pips import checked_seconds
from .protocol import Clock


class TrackTime:
    def __init__(self, clock: Clock, *, start_seconds: float, started_at: float) -> None:
        self.clock = clock
        self.start_seconds = checked_seconds(start_seconds)
        self.started_at = checked_seconds(started_at)

    def _track(self, seconds: float) -> float:
        return seconds - self.started_at + self.start_seconds

    def pip_at(self, seconds: float) -> int:
        return self.clock.pip_at(self._track(seconds))

    def seconds_at(self, pip: int) -> float:
        return self.clock.seconds_at(pip) - self.start_seconds + self.started_at

    def bpm_at(self, seconds: float) -> float:
        return self.clock.bpm_at(self._track(seconds))

    def pip_now(self) -> int:
        return self.pip_at(time.monotonic())

    def __repr__(self) -> str:
        return (f"TrackTime({self.clock!r}, start_seconds={self.start_seconds!r}, "
                f"started_at={self.started_at!r})")
