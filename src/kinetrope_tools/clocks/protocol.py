"""The clock protocol: what every tempo source offers to hosts, ``render`` and the live runner."""

from __future__ import annotations

from typing import Protocol, runtime_checkable

from ..base.errors import KinetropeError


class ClockError(KinetropeError, ValueError):
    """A value a clock cannot take: an option out of its range, a tap out of time order, a message out of range."""


@runtime_checkable
class Clock(Protocol):
    """Turns seconds into pips and back.

    For a beat map the seconds are the track's own time; for the live sources
    (tap, Link, MIDI clock) they are ``time.monotonic()`` seconds. Pips are the
    module's signed 32-bit pips: a time whose pip does not fit raises
    ValueError, as ``pips_at`` does, on every call from then on, so a host
    can say so once and hold its last pip. A clock's methods raise nothing else for
    a number they are given; a tempo a live source reports that is not a
    tempo (NaN, infinite, outside ``BPM_MIN`` to ``BPM_MAX``) never reaches a
    pip.
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


@runtime_checkable
class Tappable(Protocol):
    """A clock that follows taps (``TapTempo``)."""

    def tap(self, at_seconds: float | None = None) -> float:
        """Counts a tap at ``at_seconds`` (default: now) and returns the tempo in effect."""
        ...


@runtime_checkable
class TempoSettable(Protocol):
    """A clock whose tempo can be set from outside (a fixed tempo, a Link session)."""

    def set_bpm(self, bpm: float) -> None:
        """A new tempo from now on, without a jump of the pip in effect."""
        ...


@runtime_checkable
class Resyncable(Protocol):
    """A clock that moves its own bar line (the listening clock): the beat nearest a moment starts a bar."""

    def resync(self, at_seconds: float | None = None) -> None:
        ...


@runtime_checkable
class Closable(Protocol):
    """A clock that holds a port, a thread or a session until closed."""

    def close(self) -> None:
        ...
