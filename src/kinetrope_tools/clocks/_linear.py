"""A straight line of time, exact both ways: the piece every live clock's arithmetic is made of."""

from __future__ import annotations

from ..base.pips import PIPS_PER_BEAT, exact_floor


class Line:
    """A straight line of time through an anchor, exact both ways.

    Positions are counted in units of 1/``units_per_pip`` pip, so an anchor
    between pips (a MIDI clock pulse is 8/3 pip) is held exactly: the anchor
    is at ``anchor_units`` units at ``anchor_seconds``, and every unit lasts
    ``seconds_per_unit``. Immutable, so a clock that a callback or a thread
    updates swaps one Line for another and a reader never sees half an update.
    """

    __slots__ = ("anchor_units", "anchor_seconds", "seconds_per_unit", "units_per_pip")

    def __init__(self, anchor_units: int, anchor_seconds: float, seconds_per_unit: float, units_per_pip: int = 1) -> None:
        self.anchor_units = anchor_units
        self.anchor_seconds = anchor_seconds
        self.seconds_per_unit = seconds_per_unit
        self.units_per_pip = units_per_pip

    @property
    def seconds_per_beat(self) -> float:
        return self.seconds_per_unit * self.units_per_pip * PIPS_PER_BEAT

    @property
    def bpm(self) -> float:
        return 60.0 / self.seconds_per_beat

    def seconds_at(self, pip: int) -> float:
        return self.anchor_seconds + (pip * self.units_per_pip - self.anchor_units) * self.seconds_per_unit

    def position_at(self, seconds: float) -> float:
        """The pip (fractional) at ``seconds``."""
        return (self.anchor_units + (seconds - self.anchor_seconds) / self.seconds_per_unit) / self.units_per_pip

    def pip_at(self, seconds: float, where: str) -> int:
        return exact_floor(seconds, self.position_at(seconds), self.seconds_at, where)

    def beat_at(self, seconds: float) -> float:
        """The beat (fractional) at ``seconds``."""
        return self.position_at(seconds) / PIPS_PER_BEAT
