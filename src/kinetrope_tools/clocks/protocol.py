"""The clock protocol: what every tempo source offers to hosts, ``render`` and the live runner."""

from __future__ import annotations

from typing import Protocol, runtime_checkable


@runtime_checkable
class Clock(Protocol):
    """Turns seconds into pips and back.

    For a beat map the seconds are the track's own time; for the live sources
    (tap, Link, MIDI clock) they are ``time.monotonic()`` seconds. Pips are the
    module's signed 32-bit pips: a time whose pip does not fit raises
    ValueError, as ``pips_at`` does.
    """

    def pip_at(self, seconds: float) -> int:
        """The pip in effect at ``seconds``: the last pip that has begun by then (floor)."""
        ...

    def seconds_at(self, pip: int) -> float:
        """The time at which ``pip`` begins."""
        ...

    def bpm_at(self, seconds: float) -> float:
        """The tempo in effect at ``seconds``, in beats a minute."""
        ...

    def pip_now(self) -> int:
        """``pip_at(time.monotonic())``."""
        ...
