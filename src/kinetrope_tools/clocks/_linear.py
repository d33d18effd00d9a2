"""Exact floor and inverse on a straight line of time: the piece every clock's arithmetic is made of."""

from __future__ import annotations

import math
import operator
from collections.abc import Callable

from ..arrays import PIP_MAX, PIP_MIN


def checked_pip(pip: int) -> int:
    """``pip`` as a Python int (read once through ``__index__``), inside the signed 32-bit range."""
    whole = operator.index(pip)
    if not PIP_MIN <= whole <= PIP_MAX:
        raise ValueError(f"pip {whole} is outside the 32-bit pip range")
    return whole


def checked_seconds(seconds: float) -> float:
    value = float(seconds)
    if not math.isfinite(value):
        raise ValueError("seconds must be finite")
    return value


def settle_floor(seconds: float, estimate: float, seconds_at: Callable[[int], float], where: str) -> int:
    """The last pip that ``seconds_at`` puts at or before ``seconds``, starting from a close ``estimate``.

    ``seconds_at`` must be strictly increasing; the estimate may sit a rounding
    step off a pip boundary, and the walk settles it on the exact answer.
    """
    if not PIP_MIN - 2 <= estimate <= PIP_MAX + 2:
        raise ValueError(f"{seconds} s is outside the 32-bit pip range {where}")
    pip = math.floor(estimate)
    while seconds_at(pip + 1) <= seconds:
        pip += 1
    while seconds_at(pip) > seconds:
        pip -= 1
    if not PIP_MIN <= pip <= PIP_MAX:
        raise ValueError(f"{seconds} s is outside the 32-bit pip range {where}")
    return pip


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
        return self.seconds_per_unit * self.units_per_pip * 64

    @property
    def bpm(self) -> float:
        return 60.0 / self.seconds_per_beat

    def seconds_at(self, pip: int) -> float:
        return self.anchor_seconds + (pip * self.units_per_pip - self.anchor_units) * self.seconds_per_unit

    def position_at(self, seconds: float) -> float:
        """The pip (fractional) at ``seconds``."""
        return (self.anchor_units + (seconds - self.anchor_seconds) / self.seconds_per_unit) / self.units_per_pip

    def pip_at(self, seconds: float, where: str) -> int:
        return settle_floor(seconds, self.position_at(seconds), self.seconds_at, where)

    def beat_at(self, seconds: float) -> float:
        """The beat (fractional) at ``seconds``."""
        return self.position_at(seconds) / 64
